#pragma once

// A file written whole or not at all: written under a temporary name beside its target, flushed
// to the disk and then put in the target's place in one step, so that the target is never
// missing or half written, not even for a moment. QSaveFile does exactly that on Linux. On
// Windows TSaveFile does it with FlushFileBuffers and ReplaceFileW (MoveFileExW with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH when there is no target yet), where
// QSaveFile's rename is not written through. The same calls as QSaveFile's.

#include <QSaveFile>
#include <QString>

#ifdef Q_OS_WIN

#include <QFile>

class TSaveFile : public QFile
{
public:
    explicit TSaveFile(const QString &fileName, QObject *parent = nullptr);
    ~TSaveFile() override; // an uncommitted temporary file goes
    TSaveFile(const TSaveFile &) = delete;
    TSaveFile &operator=(const TSaveFile &) = delete;

    // Only for writing; creates the temporary file.
    bool open(OpenMode mode) override;
    // The target's name, as QSaveFile gives it.
    QString fileName() const override { return Target_; }
    // Flushes, closes and replaces the target; false with errorString() when any step fails,
    // the target then untouched and the temporary file gone.
    bool commit();
    // Drops what was written; the target stays as it was.
    void cancelWriting();
    // Writing in place is never done.
    void setDirectWriteFallback(bool) {}

private:
    void Discard();

    QString Target_;
    bool Committed_ = false;
};

// Puts replacement in the place of target in one step (target need not exist): the target is
// either the old file or the new one, never missing, and the move is on the disk when this
// returns. False with the system's reason in *error.
bool ReplaceFileAtomically(const QString &replacement, const QString &target, QString *error);

#else

using TSaveFile = QSaveFile;

#endif
