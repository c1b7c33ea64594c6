#include "tframeencoder.h"

QByteArray EncodePayload(const TFrameFields &f)
{
    // Out-of-range codes are masked to their bit fields, as the wire would carry them.
    QByteArray p(13, '\0');
    const auto put = [&p](int i, int v) { p[i] = static_cast<char>(v & 0xFF); };
    put(0, (f.Hold ? 0x01 : 0) | (f.Relative ? 0x04 : 0) | (f.Lcr ? 0x20 : 0) | (f.Auto ? 0x40 : 0)
               | (f.Parallel ? 0x80 : 0));
    put(1, ((f.Battery & 0x03) << 3) | ((f.Frequency & 0x07) << 5));
    put(2, f.Sorting & 0x0F);
    put(3, f.MainMode & 0x07);
    put(4, (f.MainValue >> 8) & 0xFF);
    put(5, f.MainValue & 0xFF);
    put(6, (f.MainDecimals & 0x07) | ((f.MainUnit & 0x1F) << 3));
    put(7, f.MainStatus & 0x1F);
    put(8, f.SubMode & 0x07);
    put(9, (f.SubValue >> 8) & 0xFF);
    put(10, f.SubValue & 0xFF);
    put(11, (f.SubDecimals & 0x07) | ((f.SubUnit & 0x1F) << 3));
    put(12, f.SubStatus & 0x1F);
    return p;
}

QByteArray EncodeFrame(const TFrameFields &f)
{
    QByteArray frame;
    frame.reserve(17);
    frame.append('\x00').append('\x0D').append(EncodePayload(f)).append('\x0D').append('\x0A');
    return frame;
}
