#pragma once

#include "trecorderoptions.h"

#include <QObject>
#include <QString>
#include <map>
#include <memory>
#include <vector>

class TLabSubscriber;
class TRecorder;
struct TLabReading;

// The central recorder of a lab: what every meter publishes under a topic filter goes into that
// meter's own files, as one recorder per meter would write them, with the record numbers and
// times as published.
class TLabRecorder : public QObject
{
    Q_OBJECT
public:
    explicit TLabRecorder(const TRecorderOptions &options, QObject *parent = nullptr);
    ~TLabRecorder() override;

    // Connects to the broker; false, with Error, when the client cannot be set up.
    bool Start();
    // One recorder a meter heard of so far, in the order of their serials.
    std::vector<TRecorder *> Recorders() const;
    const QString &Error() const { return Error_; }

signals:
    // Every meter heard of has what was asked (--frames), or one cannot go on (Error says why).
    void Stopped(bool failed);
    // Something to tell on stderr that does not end the run.
    void Notice(const QString &text);

private:
    void arrived(const TLabReading &reading);
    TRecorder *recorderFor(const QString &serial);
    void fail(const QString &why);

    TRecorderOptions Options_;
    TLabSubscriber *Subscriber_ = nullptr;
    std::map<QString, std::unique_ptr<TRecorder>> Meters_;
    std::size_t Done_ = 0;
    bool Stopped_ = false;
    QString Error_;
};
