#pragma once

#include "tmeterhooks.h"
#include "tmeterstate.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>

// Finds the meter's 17-byte frames in the received byte stream and latches them into a
// TMeterState. The stream is kept as upper-case hex text, because that is where the frame
// markers are looked for: "0D0A" also matches across a byte boundary, as the meter's own
// software matched it, and peers that replay captured text rely on that.
class TFrameDecoder
{
public:
    // A buffer this long that still holds no "0D0A" can never become a frame we would keep,
    // so it is dropped rather than left to grow on a stream of garbage.
    static constexpr qsizetype RxTextLimit = 64 * 1024;

    explicit TFrameDecoder(TMeterHooks *hooks = nullptr);

    void SetHooks(TMeterHooks *hooks);
    void SetDecimalSep(const QString &sep) { DecimalSep_ = sep; }
    const QString &DecimalSep() const { return DecimalSep_; }

    // Appends the bytes to RxText as two upper-case hex digits each.
    void AppendReceived(const std::uint8_t *data, qsizetype len);
    // One extraction pass: decodes at most one frame.
    void ExtractFrame();
    // Latches one 26-character payload; anything that is not a hex digit reads as 0.
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
    void discardRxText();

    TMeterHooks *Hooks_;
    TMeterState State_;
    QString DecimalSep_ = QStringLiteral(".");
    // RxText is Rx_ from Head_ on; consumed frames only move Head_, and the storage is
    // compacted now and then, so a pass costs the frame, not the whole buffer.
    QByteArray Rx_;
    qsizetype Head_ = 0;
    // Characters from Head_ already searched without finding "0D0A", so a frame trickling in
    // byte by byte is not searched from its start again on every block.
    qsizetype Searched_ = 0;
};
