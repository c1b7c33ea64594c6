#include "tframedecoder.h"

#include "formatreading.h"
#include "hexdigit.h"

#include <algorithm>
#include <cstring>

namespace {

TMeterHooks &noHooks()
{
    static TMeterHooks none;
    return none;
}

// A hex number of the given characters; a conversion that fails yields 0 as a whole.
int hexValue(QByteArrayView text, qsizetype from, qsizetype count)
{
    int v = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const int d = i < text.size() ? hexDigit(text[i]) : -1;
        if (d < 0)
            return 0;
        v = v * 16 + d;
    }
    return v;
}

constexpr QByteArrayView FrameEnd("0D0A", 4);
constexpr QByteArrayView FrameStart("000D", 4);
constexpr qsizetype PayloadChars = 26;
constexpr qsizetype FrameChars = 4 + PayloadChars + 4;

} // namespace

TFrameDecoder::TFrameDecoder(TMeterHooks *hooks)
    : Hooks_(hooks ? hooks : &noHooks())
{}

void TFrameDecoder::SetHooks(TMeterHooks *hooks)
{
    Hooks_ = hooks ? hooks : &noHooks();
}

void TFrameDecoder::AppendReceived(const std::uint8_t *data, qsizetype len)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    if (len <= 0)
        return;
    const qsizetype at = Rx_.size();
    Rx_.resize(at + 2 * len);
    char *out = Rx_.data() + at;
    for (qsizetype i = 0; i < len; ++i) {
        *out++ = digits[data[i] >> 4];
        *out++ = digits[data[i] & 0x0F];
    }
    // Passes may be far apart (one per sampling tick): what waits meanwhile stays bounded.
    if (Rx_.size() - Head_ > RxTextLimit)
        settle();
}

QByteArrayView TFrameDecoder::RxText() const
{
    return QByteArrayView(Rx_).sliced(Head_);
}

// Runs the frame finder over everything waiting, consuming each complete frame as it meets it:
// a trailer behind a buffer that does not start with the header drops the rest, payloads of the
// wrong length go undecoded. The newest whole frame met is put back in front of what is left,
// so that the next pass, whenever it comes, decodes exactly that one. True when there is one.
bool TFrameDecoder::settle()
{
    qsizetype newest = -1; // where in Rx_ the newest whole frame lies
    if (Kept_) {
        newest = Head_;
        Head_ += FrameChars;
        Kept_ = false;
    }
    for (;;) {
        const QByteArrayView rx = QByteArrayView(Rx_).sliced(Head_);
        const qsizetype end = rx.indexOf(FrameEnd, std::max<qsizetype>(0, Searched_ - 3));
        if (end < 0) {
            Searched_ = rx.size();
            if (rx.size() + (newest >= 0 ? FrameChars : 0) > RxTextLimit)
                dropTail();
            break;
        }
        if (!rx.startsWith(FrameStart)) {
            dropTail();
            break;
        }
        if (end == 4 + PayloadChars)
            newest = Head_;
        Head_ += end + FrameEnd.size();
        Searched_ = 0;
    }
    if (newest >= 0) {
        // Consumed text lies before Head_, so the frame always fits right in front of it.
        Head_ -= FrameChars;
        if (newest != Head_)
            std::memmove(Rx_.data() + Head_, Rx_.constData() + newest, FrameChars);
        Kept_ = true;
    }
    compact();
    return Kept_;
}

// Drops the text from Head_ on; what lies before it has been consumed already.
void TFrameDecoder::dropTail()
{
    Rx_.truncate(Head_);
    Searched_ = 0;
}

void TFrameDecoder::compact()
{
    if (Head_ >= Rx_.size()) {
        Rx_.clear();
        Head_ = 0;
    } else if (Head_ > 4096 && Head_ * 2 > Rx_.size()) {
        Rx_.remove(0, Head_);
        Head_ = 0;
    }
}

void TFrameDecoder::CutStream()
{
    settle();
    Rx_.truncate(Head_ + (Kept_ ? FrameChars : 0));
    Searched_ = 0;
    compact();
}

void TFrameDecoder::ExtractFrame()
{
    if (!settle())
        return;
    // The frame leaves the buffer before it is decoded, so nothing a hook does can see it again.
    char payload[PayloadChars];
    std::memcpy(payload, Rx_.constData() + Head_ + 4, PayloadChars);
    Head_ += FrameChars;
    Kept_ = false;
    compact();
    DecodeFrame(QByteArrayView(payload, PayloadChars));
}

void TFrameDecoder::DecodeFrame(QByteArrayView payload)
{
    // Characters 2k+1 and 2k+2 (1-based) carry payload byte k.
    const auto byte = [payload](int k) { return hexValue(payload, 2 * k, 2); };
    TMeterState &s = State_;
    Changes_ = {};

    s.MainValue = hexValue(payload, 8, 4);
    SetMainDecimals(byte(6) & 0x07);
    if (auto text = FormatReading(s.MainValue, s.MainDecimals, true, DecimalSep_))
        SetMainText(*text);
    SetMainUnit(static_cast<std::uint8_t>(byte(6) >> 3));

    const int flags = byte(0);
    SetHold(flags & 0x01);
    SetRelative(flags & 0x04);
    SetLcr(flags & 0x20);
    SetAuto(flags & 0x40);
    SetParallel(flags & 0x80);
    // "Auto" has two sources, Lcr and Auto, so it is shown anew on every frame.
    Changes_ |= TDisplayPart::Auto;

    const int power = byte(1);
    SetBattery(static_cast<std::uint8_t>((power >> 3) & 0x03));
    SetFrequency((power >> 5) & 0x07);
    SetSorting(byte(2) & 0x0F);
    SetMainMode(static_cast<std::uint8_t>(byte(3) & 0x07));
    SetMainStatus(static_cast<std::uint8_t>(byte(7) & 0x1F));

    SetSubMode(static_cast<std::uint8_t>(byte(8) & 0x07));
    s.SubValue = hexValue(payload, 18, 4);
    const int sub = byte(11);
    SetSubDecimals(sub & 0x07);
    SetSubUnit(static_cast<std::uint8_t>(sub >> 3));
    SetSubStatus(static_cast<std::uint8_t>(byte(12) & 0x1F));
    // The range follows this frame's decimals.
    Changes_ |= TDisplayPart::BarMax;

    Hooks_->FrameDecoded(s, Changes_);
}

// Setters: each stores only a changed value; the part is reported either on change or on
// every call, which is what lets an unchanged annunciator cost nothing per frame.

#define LUMETRA_SET_ON_CHANGE(Name, Type, Part)                                                    \
    void TFrameDecoder::Set##Name(Type v)                                                          \
    {                                                                                              \
        if (State_.Name == v)                                                                      \
            return;                                                                                \
        State_.Name = v;                                                                           \
        Changes_ |= Part;                                                                          \
    }

LUMETRA_SET_ON_CHANGE(Hold, bool, TDisplayPart::Hold)
LUMETRA_SET_ON_CHANGE(Relative, bool, TDisplayPart::Relative)
LUMETRA_SET_ON_CHANGE(Lcr, bool, TDisplayPart::Lcr)
LUMETRA_SET_ON_CHANGE(Auto, bool, TDisplayChanges())
LUMETRA_SET_ON_CHANGE(Parallel, bool, TDisplayChanges())
LUMETRA_SET_ON_CHANGE(Battery, std::uint8_t, TDisplayPart::Battery)
LUMETRA_SET_ON_CHANGE(Frequency, std::int32_t, TDisplayPart::Frequency)
LUMETRA_SET_ON_CHANGE(Sorting, std::int32_t, TDisplayPart::Sorting)
LUMETRA_SET_ON_CHANGE(MainDecimals, std::int32_t, TDisplayChanges())
LUMETRA_SET_ON_CHANGE(MainUnit, std::uint8_t, TDisplayPart::MainUnit)
LUMETRA_SET_ON_CHANGE(SubUnit, std::uint8_t, TDisplayPart::SubUnit)

#undef LUMETRA_SET_ON_CHANGE

void TFrameDecoder::SetMainText(const QString &v)
{
    if (State_.MainText != v)
        State_.MainText = v;
}

void TFrameDecoder::SetSubText(const QString &v)
{
    if (State_.SubText != v)
        State_.SubText = v;
}

void TFrameDecoder::SetMainMode(std::uint8_t v)
{
    State_.MainMode = v;
    Changes_ |= TDisplayPart::MainMode;
}

void TFrameDecoder::SetMainStatus(std::uint8_t v)
{
    State_.MainStatus = v;
    Changes_ |= TDisplayPart::MainStatus;
}

void TFrameDecoder::SetSubMode(std::uint8_t v)
{
    State_.SubMode = v;
    Changes_ |= TDisplayPart::SubMode;
}

void TFrameDecoder::SetSubDecimals(std::int32_t v)
{
    State_.SubDecimals = v;
    if (auto text = FormatReading(State_.SubValue, v, false, DecimalSep_))
        SetSubText(*text);
}

void TFrameDecoder::SetSubStatus(std::uint8_t v)
{
    State_.SubStatus = v;
    // The secondary display has room for five characters and a point; a longer text loses its
    // last digit, and the shortened text is what is kept.
    if (v == 0 && State_.SubText.size() > 5)
        State_.SubText.chop(1);
    Changes_ |= TDisplayPart::SubStatus;
}
