#pragma once

#include "tmetersource.h"

class TCaptureReplay;

// A capture played in place of a meter: each block at its own time after Open, or with fast
// one captured block per hand-off, as quickly as the receiver takes them. Every Open plays
// from the start, as a meter starts sending when it is connected.
class TReplaySource : public TMeterSource
{
    Q_OBJECT
public:
    TReplaySource(const QString &fileName, bool fast, QObject *parent = nullptr);

    QString Name() const override { return FileName_; }
    bool Open(TNotice &failure) override;
    void Close() override;
    bool IsOpen() const override { return Open_; }
    void SetPaused(bool paused) override;
    qint64 Clock() const override { return Clock_; }
    // Played again it would start from its beginning: rows already taken would come twice.
    bool CanReconnect() const override { return false; }

private:
    void lose(const QString &reason);

    QString FileName_;
    TCaptureReplay *Replay_;
    bool Open_ = false;
    bool Paused_ = false;
    qint64 Clock_ = 0;
};
