#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

class QIODevice;
class QTimer;

// A capture is the raw stream as it arrived, kept as text so that it can be read, diffed and
// mailed: one line per received block, the milliseconds since the start of the capture, a
// space, and the block's bytes as upper-case hexadecimal pairs separated by spaces. Lines
// starting with "#" and blank lines are comments.
//
//   # Lumetra capture 1
//   0 00 0D 00 00 ...
//   512 00 0D 00 00 ...

struct TCaptureBlock
{
    qint64 Ms = 0;
    QByteArray Bytes;
};

// One line of a block, "512 00 0D ..." and its line break.
QByteArray CaptureLine(qint64 ms, const std::uint8_t *data, qsizetype len);
// Reads one line of a capture into block. False, with the reason, when it is no block line;
// comments and blank lines read as true with an empty block.
bool ParseCaptureLine(QByteArrayView line, TCaptureBlock &block, QString *why);

// Writes a capture as blocks arrive, each line flushed at once, so that a capture cut short by
// a crash or a kill still holds every block received before it.
class TCaptureWriter
{
public:
    // Truncates the file and starts the clock.
    bool Open(const QString &fileName);
    bool Write(const std::uint8_t *data, qsizetype len);
    bool IsOpen() const { return File_.isOpen(); }
    const QString &Error() const { return Error_; }

private:
    QFile File_;
    QElapsedTimer Clock_;
    QString Error_;
};

// Reads a capture block by block, so a long one costs the memory of one line.
class TCaptureReader
{
public:
    // A block line holds at most this many bytes; a longer one is not ours.
    static constexpr qsizetype MaxBlockBytes = 65536;

    bool Open(const QString &fileName);
    // The next block; false at the end or at a line that is not a block (Error says which).
    bool Next(TCaptureBlock &block);
    const QString &Error() const { return Error_; }

private:
    QFile File_;
    qsizetype Line_ = 0;
    qint64 LastMs_ = 0;
    QString Error_;
};

// Plays a capture in place of a meter: each block at its own time after Start, or with fast
// as quickly as the receiver takes them (a bounded batch per pass of the event loop, so timers
// and signals are still served).
class TCaptureReplay : public QObject
{
    Q_OBJECT
public:
    TCaptureReplay(bool fast, QObject *parent = nullptr);
    ~TCaptureReplay() override;

    bool Open(const QString &fileName);
    void Start();
    void Stop();
    bool Running() const { return Running_; }
    // Why the capture stopped before its end; empty after a complete replay.
    const QString &Error() const { return Reader_.Error(); }
    // The captured time of the block being handed over, in ms from the capture's start.
    qint64 BlockTime() const { return Pending_.Ms; }

signals:
    void OnReceiveData(const std::uint8_t *Data, std::uint32_t Len);
    void Finished();

private:
    void Play();

    TCaptureReader Reader_;
    TCaptureBlock Pending_;
    bool HasPending_ = false;
    bool Fast_;
    bool Running_ = false;
    QElapsedTimer Clock_;
    QTimer *Timer_;
};
