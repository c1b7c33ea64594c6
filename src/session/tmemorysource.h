#pragma once

#include "tmetersource.h"

#include <QByteArray>

// A source fed by hand, for tests and benchmarks: no device, no thread, and no clock of its
// own until blocks are fed with times.
class TMemorySource : public TMeterSource
{
    Q_OBJECT
public:
    explicit TMemorySource(const QString &name = QStringLiteral("memory"),
                           QObject *parent = nullptr)
        : TMeterSource(parent)
        , Name_(name)
    {}

    QString Name() const override { return Name_; }
    bool Open(TNotice &failure) override
    {
        if (!Refusal_.Text.isEmpty()) {
            failure = Refusal_;
            return false;
        }
        Open_ = true;
        emit Opened();
        return true;
    }
    void Close() override
    {
        Open_ = false;
        emit Closed();
    }
    bool IsOpen() const override { return Open_; }
    qint64 Clock() const override { return Clock_; }

    // The next Opens fail with this notice (an empty text: they succeed again).
    void Refuse(const TNotice &notice) { Refusal_ = notice; }
    // One block, as a device would deliver it; only while open.
    void Feed(const QByteArray &block)
    {
        if (Open_)
            emit BlockReceived(reinterpret_cast<const std::uint8_t *>(block.constData()),
                               std::uint32_t(block.size()));
    }
    // One block stamped with its time on the source's own clock, as a replay delivers it.
    void Feed(const QByteArray &block, qint64 clockMs)
    {
        Clock_ = clockMs;
        Feed(block);
    }
    // The link breaks, as a pulled cable does.
    void Lose(const QString &reason)
    {
        emit LinkLost(reason);
        Close();
    }

private:
    QString Name_;
    TNotice Refusal_;
    bool Open_ = false;
    qint64 Clock_ = -1;
};
