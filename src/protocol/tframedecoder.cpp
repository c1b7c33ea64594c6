#include "tframedecoder.h"

#include "formatreading.h"

#include <cstring>

namespace {

TMeterHooks &noHooks()
{
    static TMeterHooks none;
    return none;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
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

constexpr char FrameEnd[] = "0D0A";
constexpr char FrameStart[] = "000D";

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
}

QByteArrayView TFrameDecoder::RxText() const
{
    return QByteArrayView(Rx_).sliced(Head_);
}

void TFrameDecoder::discardRxText()
{
    Rx_.clear();
    Head_ = 0;
    Searched_ = 0;
}

void TFrameDecoder::ExtractFrame()
{
    const QByteArrayView rx = RxText();
    const qsizetype from = std::max<qsizetype>(0, Searched_ - 3);
    const qsizetype end = rx.indexOf(QByteArrayView(FrameEnd, 4), from);
    if (end < 0) {
        Searched_ = rx.size();
        if (rx.size() > RxTextLimit)
            discardRxText();
        return;
    }
    if (!rx.startsWith(QByteArrayView(FrameStart, 4))) {
        discardRxText();
        return;
    }
    // The payload sits between the header and the trailer; a trailer that overlaps the header
    // leaves none. The buffer is advanced before decoding so that nothing a hook does can see
    // or re-extract the frame being decoded.
    char payload[26];
    const qsizetype payloadLen = end - 4;
    const bool whole = payloadLen == 26;
    if (whole)
        std::memcpy(payload, rx.data() + 4, 26);
    Head_ += end + 4;
    Searched_ = 0;
    if (Head_ >= Rx_.size()) {
        Rx_.clear();
        Head_ = 0;
    } else if (Head_ > 4096 && Head_ * 2 > Rx_.size()) {
        Rx_.remove(0, Head_);
        Head_ = 0;
    }
    if (whole)
        DecodeFrame(QByteArrayView(payload, 26));
}

void TFrameDecoder::DecodeFrame(QByteArrayView payload)
{
    // Characters 2k+1 and 2k+2 (1-based) carry payload byte k.
    const auto byte = [payload](int k) { return hexValue(payload, 2 * k, 2); };
    TMeterState &s = State_;

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
    Hooks_->ShowAuto(s);

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

    const int scale = FullScale(s.MainDecimals);
    Hooks_->SetAxisMin(-double(scale));
    Hooks_->SetAxisMax(double(scale));
    Hooks_->SetBarMax(scale);

    if (Hooks_->RecordEveryFrame() || s.MainText != s.LastRecordedText) {
        s.LastRecordedText = s.MainText;
        Hooks_->RecordReading(s);
    }
}

// Setters: each stores only a changed value; the refresh runs either on change or on every
// call, which is what lets an unchanged annunciator cost nothing per frame.

#define LUMETRA_SET_ON_CHANGE(Name, Type, Show)                                                    \
    void TFrameDecoder::Set##Name(Type v)                                                          \
    {                                                                                              \
        if (State_.Name == v)                                                                      \
            return;                                                                                \
        State_.Name = v;                                                                           \
        Show;                                                                                      \
    }

LUMETRA_SET_ON_CHANGE(Hold, bool, Hooks_->ShowHold(State_))
LUMETRA_SET_ON_CHANGE(Relative, bool, Hooks_->ShowRelative(State_))
LUMETRA_SET_ON_CHANGE(Lcr, bool, Hooks_->ShowLcr(State_))
LUMETRA_SET_ON_CHANGE(Auto, bool, (void)0)
LUMETRA_SET_ON_CHANGE(Parallel, bool, (void)0)
LUMETRA_SET_ON_CHANGE(Battery, std::uint8_t, Hooks_->ShowBattery(State_))
LUMETRA_SET_ON_CHANGE(Frequency, std::int32_t, Hooks_->ShowFrequency(State_))
LUMETRA_SET_ON_CHANGE(Sorting, std::int32_t, Hooks_->ShowSorting(State_))
LUMETRA_SET_ON_CHANGE(MainDecimals, std::int32_t, (void)0)
LUMETRA_SET_ON_CHANGE(MainUnit, std::uint8_t, Hooks_->ShowMainUnit(State_))
LUMETRA_SET_ON_CHANGE(SubUnit, std::uint8_t, Hooks_->ShowSubUnit(State_))

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
    Hooks_->ShowMainMode(State_);
}

void TFrameDecoder::SetMainStatus(std::uint8_t v)
{
    State_.MainStatus = v;
    Hooks_->ShowMainStatus(State_);
}

void TFrameDecoder::SetSubMode(std::uint8_t v)
{
    State_.SubMode = v;
    Hooks_->ShowSubMode(State_);
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
    Hooks_->ShowSubStatus(State_);
}
