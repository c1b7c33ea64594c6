#pragma once

#include "tmeternotice.h"

#include <QObject>
#include <QString>
#include <cstdint>

// How a block is taken in. A bridge's block proves the cable alive (it restarts the silence
// watchdog) and waits for the sampling tick while one runs; a serial port's is decoded at once
// and leaves the watchdog alone.
enum class TBlockPath : std::uint8_t { Bridge, Serial };

// Where a meter's bytes come from: a bridge, a serial port, a replayed capture, or a test.
// Blocks arrive on the GUI thread, one BlockReceived per block as the source delivered it; the
// data is valid only during the call.
class TMeterSource : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The name the user knows the meter by: the bridge's serial text, the port, the file.
    virtual QString Name() const = 0;
    // Starts delivering blocks. False, with what the user is to be told, when it cannot.
    virtual bool Open(TNotice &failure) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // While paused nothing is read; the link itself stays open.
    virtual void SetPaused(bool) {}
    virtual TBlockPath Path() const { return TBlockPath::Bridge; }
    // A source that plays recorded time (a capture) keeps its own clock: the milliseconds of
    // the block it delivers, from the start of what it plays. Sampling then follows that clock,
    // so a replay played fast samples the rows a paced one does. -1: the wall clock rules.
    virtual qint64 Clock() const { return -1; }
    // Whether the meter may come back after the link broke (a cable plugged in again, a port
    // that reappears), so that opening it again goes on with the same run.
    virtual bool CanReconnect() const { return true; }

signals:
    void BlockReceived(const std::uint8_t *data, std::uint32_t len);
    void Opened();
    void Closed();
    // The link went away under the source (a cable pulled, a capture that breaks off); reason is
    // the user's text. Closed may follow.
    void LinkLost(const QString &reason);
    // A source with an end (a capture) has delivered its last block.
    void Ended();
};
