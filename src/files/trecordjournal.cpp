#include "trecordjournal.h"

#include "tjournallock.h"
#include "trecordtable.h"
#include "tsavefile.h"
#include "ttextrecords.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Rows are formatted into pieces of about this size before they are written, so that a block
// of a million rows (an Open) costs a few dozen write calls, not a million.
constexpr qsizetype PieceBytes = 1 << 20;

const QString JournalPrefix = QStringLiteral("journal-");
const QString JournalSuffix = QStringLiteral(".txt");

std::unique_ptr<TJournalLock> lockFor(const QString &journal)
{
    return std::make_unique<TJournalLock>(journal);
}

bool replaceFile(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    // One step as well: the closed journal is never missing, not even for a moment.
    return ReplaceFileAtomically(from, to, nullptr);
#else
    // One step: the closed journal is never missing, not even for a moment.
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

// Why nothing can be kept in folder, in the system's words: it is made if missing, then a small
// file is written in it and removed. Empty when that works.
QString folderProblem(const QString &folder)
{
#ifdef Q_OS_WIN
    // Made one level at a time, so the level that fails gives its reason.
    const QStringList parts = QDir::cleanPath(QDir(folder).absolutePath()).split(u'/');
    QString path;
    for (const QString &part : parts) {
        path += (path.isEmpty() ? QString() : QStringLiteral("/")) + part;
        if (part.isEmpty() || part.endsWith(u':'))
            continue; // the drive
        const QFileInfo level(path);
        if (level.isDir())
            continue;
        if (level.exists()) // a file stands where a folder must be
            return QString::fromLocal8Bit(std::strerror(ENOTDIR));
        if (!CreateDirectoryW(
                reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()), nullptr)
            && GetLastError() != ERROR_ALREADY_EXISTS)
            return qt_error_string(int(GetLastError()));
    }
    QFile probe(QDir(folder).filePath(QStringLiteral(".probe")));
    const bool ok =
        probe.open(QIODevice::WriteOnly) && probe.write(QByteArray(64, ' ')) == 64 && probe.flush();
    const QString why = probe.errorString();
    probe.remove();
    return ok ? QString() : why;
#else
    int reason = 0;
    // Made one level at a time, so the level that fails gives its reason.
    const QStringList parts = QDir::cleanPath(QDir(folder).absolutePath()).split(u'/');
    QString path;
    for (const QString &part : parts) {
        if (part.isEmpty())
            continue;
        path += u'/' + part;
        const QByteArray name = QFile::encodeName(path);
        struct stat st;
        if (::stat(name.constData(), &st) == 0) {
            if (S_ISDIR(st.st_mode))
                continue;
            reason = ENOTDIR; // a file stands where a folder must be
            break;
        }
        if (::mkdir(name.constData(), 0700) != 0) {
            reason = errno;
            break;
        }
    }
    if (reason == 0) {
        const QByteArray probe = QFile::encodeName(QDir(folder).filePath(
            QStringLiteral(".probe-%1").arg(QCoreApplication::applicationPid())));
        const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) {
            reason = errno;
        } else {
            const char bytes[256] = {};
            for (std::size_t done = 0; done < sizeof bytes && reason == 0;) {
                const ssize_t n = ::write(fd, bytes + done, sizeof bytes - done);
                if (n > 0)
                    done += std::size_t(n);
                else if (n == 0 || errno != EINTR)
                    reason = n == 0 ? ENOSPC : errno;
            }
            ::close(fd);
            ::unlink(probe.constData());
        }
    }
    return reason ? QString::fromLocal8Bit(std::strerror(reason)) : QString();
#endif
}

} // namespace

QString TRecordJournal::Folder()
{
#ifdef Q_OS_WIN
    // %LOCALAPPDATA%\Lumetra: the user's own, not roamed to other machines.
    QString base = QDir::fromNativeSeparators(qEnvironmentVariable("LOCALAPPDATA"));
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return base + QStringLiteral("/Lumetra");
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
    , Header_(JournalHeaderLine())
{}

TRecordJournal::~TRecordJournal()
{
    // Not closed: the file stays as it is, a journal that did not end normally.
    Flush();
    File_.Close();
}

bool TRecordJournal::Start(const QString &folder)
{
    const auto cannot = [this, &folder](const QString &why) {
        Error_ = QStringLiteral("Cannot keep a journal in the folder \"%1\". %2")
                     .arg(QDir::toNativeSeparators(folder), why);
        Failing_ = true;
        emit Failed(Error_);
        return false;
    };
    if (const QString why = folderProblem(folder); !why.isEmpty())
        return cannot(why);
    // The start time and the process make the name; a second journal of the same process in
    // the same millisecond gets a number, so no journal is ever opened over another.
    const QString base = QDir(folder).filePath(
        JournalPrefix + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"))
        + QLatin1Char('-') + QString::number(QCoreApplication::applicationPid()));
    QString name;
    for (int n = 1; n <= 100 && !Lock_; ++n) {
        name = base + (n > 1 ? QStringLiteral("-%1").arg(n) : QString()) + JournalSuffix;
        Lock_ = lockFor(name);
        if (QFileInfo::exists(name) || Lock_->TryLock() != TJournalLock::TResult::Locked)
            Lock_.reset();
    }
    if (!Lock_) {
        // The folder took a file a moment ago; whatever keeps the lock from it now, say that.
        const QString why = folderProblem(folder);
        return cannot(why.isEmpty() ? QStringLiteral("No lock file can be made there") : why);
    }
    if (!File_.Open(name)) {
        Lock_.reset();
        return cannot(File_.Error());
    }
    connect(Table_, &TRecordTable::RowsAppended, this,
            [this](qsizetype, qsizetype last) { write(last + 1); });
    connect(Table_, &TRecordTable::Emptied, this, &TRecordJournal::emptied);
    if (!File_.Append(Header_)) {
        fail(); // retried like any failed write
        return false;
    }
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
        AppendJournalRow(*Table_, row, Buffer_);
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
    if (Failing_) {
        // Emptying the file frees the room it took: it may well be whole again at once.
        EmptiedWhileFailing_ = true;
        retry();
    } else if (IsOn() && !File_.Restart(Header_)) {
        fail();
    }
}

void TRecordJournal::fail()
{
    if (!Retry_) {
        Retry_ = new QTimer(this);
        Retry_->setSingleShot(true);
        // Once a second at most: a full disk is not hammered, and room made by the user is
        // used within a second.
        Retry_->setInterval(1000);
        connect(Retry_, &QTimer::timeout, this, &TRecordJournal::retry);
    }
    Retry_->start();
    if (Failing_)
        return;
    Failing_ = true;
    Error_ = File_.Error();
    emit Failed(Error_);
}

void TRecordJournal::retry()
{
    if (Closed_ || !File_.IsOpen() || !Table_)
        return;
    const bool intact = File_.Resume() && !EmptiedWhileFailing_;
    if (File_.Failed())
        return fail();
    if (!intact || File_.Size() == 0) {
        // A flush failed (what the file held may be gone) or the table was emptied meanwhile:
        // the journal is written again from its header.
        Written_ = 0;
        if (!File_.Restart(Header_))
            return fail();
    }
    EmptiedWhileFailing_ = false;
    Flush();
    if (!IsOn())
        return fail();
    Failing_ = false;
    emit Resumed();
}

void TRecordJournal::Close()
{
    if (Closed_)
        return;
    Closed_ = true;
    if (Retry_)
        Retry_->stop();
    if (Failing_ && File_.IsOpen()) {
        Closed_ = false;
        retry(); // a last try: room may have come since the last one
        Closed_ = true;
    }
    Flush();
    const bool whole = IsOn() && Table_ && Written_ == Table_->RecordCount();
    if (Table_)
        disconnect(Table_, nullptr, this, nullptr);
    const QString name = File_.FileName();
    const bool opened = File_.IsOpen();
    File_.Close();
    const bool synced = !File_.Failed();
    // A session that ends without rows does not replace the last one that held records, and
    // a journal that lost rows never replaces a whole one; neither stays to be offered as a
    // session that did not close normally.
    if (opened && Lock_ && whole && synced && Written_ > 0)
        replaceFile(name, ClosedFileName(QFileInfo(name).absolutePath()));
    else if (opened && Lock_)
        QFile::remove(name);
    Lock_.reset(); // unlocks
}

// --- journals left behind ------------------------------------------------------------------

namespace {

// Cuts a journal back to its last complete line: after a power cut its end may hold a line
// that was never finished, or zeros where the data never reached the disk.
void repair(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadWrite))
        return;
    qint64 keep = 0; // the end of the last complete line
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
            if (c == '\n' && afterCr)
                keep = at + i + 1;
            afterCr = c == '\r';
        }
        at += n;
    }
    if (keep < file.size())
        file.resize(keep);
}

// Reads a journal as a restore would, counting what it would append and leave out.
void count(const QString &fileName, qsizetype &rows, qsizetype &damaged, qsizetype &lines)
{
    rows = damaged = lines = 0;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    TTextRecordReader reader(nullptr, TTextRecordReader::Form::Journal);
    QByteArray piece(PieceBytes, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(piece.data(), piece.size());
        if (n <= 0 || !reader.Feed(QByteArrayView(piece.constData(), n)))
            break;
    }
    reader.Finish();
    rows = reader.RowsAppended();
    damaged = reader.LinesSkipped();
    lines = rows + damaged;
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
        if (const auto locked = journal->Lock_->TryLock();
            locked != TJournalLock::TResult::Locked) {
            if (locked == TJournalLock::TResult::HeldElsewhere)
                continue; // its instance still runs, or another one is offering it right now
            // No lock can be made here (a read-only or full folder), so none can be held by a
            // running instance either: the journal is read as it stands, and left as it is.
            journal->Lock_.reset();
        }
        if (!QFileInfo::exists(journal->FileName_))
            continue; // closed just now by its instance
        if (journal->Lock_)
            repair(journal->FileName_);
        qsizetype lines = 0;
        count(journal->FileName_, journal->Rows_, journal->Damaged_, lines);
        if (journal->Rows_ == 0) {
            // Nothing in it to restore; one with damaged lines only is left for a person.
            if (lines == 0 && journal->Lock_)
                journal->Discard();
            continue;
        }
        found.push_back(std::move(journal));
    }
    return found;
}

TAbandonedJournal::~TAbandonedJournal() = default;

bool TAbandonedJournal::Discard()
{
    if (!QFile::remove(FileName_) && QFileInfo::exists(FileName_))
        return false;
    Rows_ = 0;
    return true;
}
