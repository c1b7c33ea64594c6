#pragma once

#include "tmeterhooks.h"
#include "tmeterstate.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>

// Finds the meter's 17-byte frames in the received byte stream and latches them into a
// TMeterState. The stream is kept as upper-case hex text and the frame markers are looked for in
// that text, so a trailer "0D0A" also matches across a byte boundary (bytes 10 D0 A0). A buffer
// that does not start with the header "000D" when a trailer is seen is dropped whole, which puts
// the next block back on a byte boundary.
class TFrameDecoder
{
public:
    // RxText never holds more than this. Text without a "0D0A" that has grown this long can never
    // become a frame we would keep, and complete frames waiting beyond it are stale: only the
    // newest of them would ever be shown.
    static constexpr qsizetype RxTextLimit = 64 * 1024;

    explicit TFrameDecoder(TMeterHooks *hooks = nullptr);

    void SetHooks(TMeterHooks *hooks);
    void SetDecimalSep(const QString &sep) { DecimalSep_ = sep; }
    const QString &DecimalSep() const { return DecimalSep_; }

    // Appends the bytes to RxText as two upper-case hex digits each. Text beyond RxTextLimit
    // is settled at once, keeping what the next pass would decode.
    void AppendReceived(const std::uint8_t *data, qsizetype len);
    // One extraction pass: consumes every complete frame waiting and decodes the newest whole
    // one, so what is shown or recorded is never older than the last frame received. A partial
    // frame after the last trailer waits for the next pass.
    void ExtractFrame();
    // The stream was cut and starts anew: whatever follows the newest whole frame is the start
    // of one that will never end, and goes; whole frames still waiting stay.
    void CutStream();
    // Latches one 26-character payload, then tells the hooks once, with the parts of the display
    // it changed; anything that is not a hex digit reads as 0.
    void DecodeFrame(QByteArrayView payload);

    QByteArrayView RxText() const;
    const TMeterState &State() const { return State_; }
    TMeterState &State() { return State_; }

    void SetHold(bool v);
    void SetRelative(bool v);
    void SetLcr(bool v);
    void SetAuto(bool v);
    void SetParallel(bool v);
    void SetBattery(std::uint8_t v);
    void SetFrequency(std::int32_t v);
    void SetSorting(std::int32_t v);
    void SetMainMode(std::uint8_t v);
    void SetMainDecimals(std::int32_t v);
    void SetMainText(const QString &v);
    void SetMainUnit(std::uint8_t v);
    void SetMainStatus(std::uint8_t v);
    void SetSubMode(std::uint8_t v);
    void SetSubDecimals(std::int32_t v);
    void SetSubText(const QString &v);
    void SetSubUnit(std::uint8_t v);
    void SetSubStatus(std::uint8_t v);

private:
    bool settle();
    void dropTail();
    void compact();

    TMeterHooks *Hooks_;
    TMeterState State_;
    // What the frame being decoded has changed so far.
    TDisplayChanges Changes_;
    QString DecimalSep_ = QStringLiteral(".");
    // RxText is Rx_ from Head_ on; consumed frames only move Head_, and the storage is
    // compacted now and then, so a pass costs the new text, not the whole buffer.
    QByteArray Rx_;
    qsizetype Head_ = 0;
    // RxText starts with a whole frame that an earlier settle kept as the newest one.
    bool Kept_ = false;
    // Characters of the text after that frame already searched without finding "0D0A", so a
    // frame trickling in byte by byte is not searched from its start again on every block.
    qsizetype Searched_ = 0;
};
