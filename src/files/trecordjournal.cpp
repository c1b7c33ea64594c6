#include "trecordjournal.h"

#include "trecordtable.h"
#include "ttextrecords.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

namespace {

// Rows are formatted into pieces of about this size before they are written, so that a block
// of a million rows (an Open) costs a few dozen write calls, not a million.
constexpr qsizetype PieceBytes = 1 << 20;

const QString JournalPrefix = QStringLiteral("journal-");
const QString JournalSuffix = QStringLiteral(".txt");

std::unique_ptr<QLockFile> lockFor(const QString &journal)
{
    auto lock = std::make_unique<QLockFile>(journal + QStringLiteral(".lock"));
    // Only a lock whose process is gone (or which was taken before the last boot) is stale;
    // a long-running instance keeps its journal however old the lock is.
    lock->setStaleLockTime(0);
    return lock;
}

bool replaceFile(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    QFile::remove(to);
    return QFile::rename(from, to);
#else
    // One step: the closed journal is never missing, not even for a moment.
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

} // namespace

QString TRecordJournal::Folder()
{
#ifdef Q_OS_WIN
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/lumetra/state");
#else
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/lumetra");
#endif
}

QString TRecordJournal::ClosedFileName(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("last-session.txt"));
}

TRecordJournal::TRecordJournal(TRecordTable &table, QObject *parent)
    : QObject(parent)
    , Table_(&table)
    , Header_(TextHeaderLine(TextFileTitles()))
{}

TRecordJournal::~TRecordJournal()
{
    // Not closed: the file stays as it is, a journal that did not end normally.
    Flush();
    File_.Close();
}

bool TRecordJournal::Start(const QString &folder)
{
    if (!QDir().mkpath(folder)) {
        Error_ =
            QStringLiteral("Cannot create folder \"%1\"").arg(QDir::toNativeSeparators(folder));
        emit Failed(Error_);
        return false;
    }
    // The start time and the process make the name; a second journal of the same process in
    // the same millisecond gets a number, so no journal is ever opened over another.
    const QString base = QDir(folder).filePath(
        JournalPrefix + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"))
        + QLatin1Char('-') + QString::number(QCoreApplication::applicationPid()));
    QString name;
    for (int n = 1; n <= 100 && !Lock_; ++n) {
        name = base + (n > 1 ? QStringLiteral("-%1").arg(n) : QString()) + JournalSuffix;
        Lock_ = lockFor(name);
        if (QFileInfo::exists(name) || !Lock_->tryLock(0))
            Lock_.reset();
    }
    if (!Lock_) {
        Error_ = QStringLiteral("Cannot lock file \"%1\"").arg(QDir::toNativeSeparators(name));
        emit Failed(Error_);
        return false;
    }
    if (!File_.Open(name) || !File_.Append(Header_)) {
        fail();
        return false;
    }
    connect(Table_, &TRecordTable::RowsAppended, this,
            [this](qsizetype, qsizetype last) { write(last + 1); });
    connect(Table_, &TRecordTable::Emptied, this, &TRecordJournal::emptied);
    write(Table_->RecordCount());
    return IsOn();
}

void TRecordJournal::write(qsizetype end)
{
    if (!IsOn() || !Table_ || CatchUpPending_)
        return; // the rest of a block goes first
    end = std::min(end, Table_->RecordCount());
    if (end - Written_ > SliceRows) {
        // A large block (an Open) is written a slice per pass of the event loop, so that the
        // window does not stop for it; rows posted meanwhile follow it in order. Its rows are
        // in the opened file anyway.
        end = Written_ + SliceRows;
        if (!CatchUpPending_) {
            CatchUpPending_ = true;
            QTimer::singleShot(0, this, [this] {
                CatchUpPending_ = false;
                if (Table_)
                    write(Table_->RecordCount());
            });
        }
    }
    Buffer_.resize(0);
    for (qsizetype row = Written_; row < end; ++row) {
        AppendTextRow(*Table_, row, Buffer_);
        if (Buffer_.size() >= PieceBytes) {
            if (!File_.Append(Buffer_))
                return fail();
            Written_ = row + 1;
            Buffer_.resize(0);
        }
    }
    if (!Buffer_.isEmpty() && !File_.Append(Buffer_))
        return fail();
    Written_ = std::max(Written_, end);
    if (Buffer_.capacity() > 2 * PieceBytes)
        Buffer_ = QByteArray(); // a large Open's buffer is not kept for single rows
}

void TRecordJournal::Flush()
{
    CatchUpPending_ = false;
    while (IsOn() && Table_ && Written_ < Table_->RecordCount()) {
        const qsizetype before = Written_;
        write(std::min(Table_->RecordCount(), Written_ + SliceRows));
        if (Written_ == before)
            break;
    }
}

void TRecordJournal::emptied()
{
    Written_ = 0;
    CatchUpPending_ = false; // a block still being written went with the rows
    if (IsOn() && !File_.Restart(Header_))
        fail();
}

void TRecordJournal::fail()
{
    if (!Error_.isEmpty())
        return;
    Error_ = File_.Error();
    if (Table_)
        disconnect(Table_, nullptr, this, nullptr);
    emit Failed(Error_);
}

void TRecordJournal::Close()
{
    if (Closed_)
        return;
    Closed_ = true;
    Flush();
    if (Table_)
        disconnect(Table_, nullptr, this, nullptr);
    const QString name = File_.FileName();
    const bool opened = File_.IsOpen();
    File_.Close();
    // A session that ends without rows (or whose journal failed before its header) does not
    // replace the last one that held records.
    if (opened && Lock_ && Written_ > 0)
        replaceFile(name, ClosedFileName(QFileInfo(name).absolutePath()));
    else if (opened && Lock_)
        QFile::remove(name);
    Lock_.reset(); // unlocks
}

// --- journals left behind ------------------------------------------------------------------

namespace {

// Cuts a journal back to its last complete line: after a power cut its end may hold a line
// that was never finished, or zeros where the data never reached the disk. Returns the
// records it then holds (lines after the header).
qsizetype repair(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadWrite))
        return 0;
    qint64 keep = 0; // the end of the last complete line
    qint64 lines = 0;
    qint64 at = 0;
    bool afterCr = false;
    QByteArray piece(PieceBytes, Qt::Uninitialized);
    for (bool more = true; more;) {
        const qint64 n = file.read(piece.data(), piece.size());
        if (n <= 0)
            break;
        for (qint64 i = 0; i < n; ++i) {
            const char c = piece[i];
            if (c == '\0') {
                more = false;
                break;
            }
            if (c == '\n' && afterCr) {
                keep = at + i + 1;
                ++lines;
            }
            afterCr = c == '\r';
        }
        at += n;
    }
    if (keep < file.size())
        file.resize(keep);
    return qsizetype(std::max<qint64>(lines - 1, 0));
}

} // namespace

std::vector<std::unique_ptr<TAbandonedJournal>> TAbandonedJournal::Find(const QString &folder)
{
    std::vector<std::unique_ptr<TAbandonedJournal>> found;
    const QDir dir(folder);
    // The names begin with the start time, so name order is age order.
    const QStringList names =
        dir.entryList({JournalPrefix + QLatin1Char('*') + JournalSuffix}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        std::unique_ptr<TAbandonedJournal> journal(new TAbandonedJournal);
        journal->FileName_ = dir.filePath(name);
        journal->Lock_ = lockFor(journal->FileName_);
        if (!journal->Lock_->tryLock(0))
            continue; // its instance still runs, or another one is offering it right now
        if (!QFileInfo::exists(journal->FileName_))
            continue; // closed just now by its instance
        journal->Rows_ = repair(journal->FileName_);
        if (journal->Rows_ == 0) {
            journal->Discard(); // nothing in it to restore
            continue;
        }
        found.push_back(std::move(journal));
    }
    return found;
}

TAbandonedJournal::~TAbandonedJournal() = default;

void TAbandonedJournal::Discard()
{
    QFile::remove(FileName_);
    Rows_ = 0;
}
