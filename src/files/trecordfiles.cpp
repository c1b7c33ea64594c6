#include "trecordfiles.h"

#include "trecordtable.h"
#include "ttextrecords.h"
#include "txmlpacketreader.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <functional>

namespace {

// Large enough that the system calls cost nothing next to the formatting, small enough that a
// progress report or a cancel request is never far off.
constexpr qsizetype PieceBytes = 1 << 20;

QString shown(const QString &fileName)
{
    return QDir::toNativeSeparators(fileName);
}

} // namespace

QString RecordFileExtension(const QString &fileName)
{
    qsizetype separator = fileName.lastIndexOf(QLatin1Char('/'));
#ifdef Q_OS_WIN
    separator = std::max(separator, fileName.lastIndexOf(QLatin1Char('\\')));
#endif
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < separator)
        return {};
    QString extension = fileName.mid(dot);
    for (QChar &c : extension)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + ('a' - 'A'));
    return extension;
}

TSaveTarget SaveTargetOf(const QString &fileName)
{
    const QString extension = RecordFileExtension(fileName);
    TSaveTarget target{fileName, extension == QLatin1String(".xml") ? TRecordFileForm::Xml
                                                                    : TRecordFileForm::Text};
    if (extension != QLatin1String(".xml") && extension != QLatin1String(".xls")
        && extension != QLatin1String(".txt"))
        target.FileName += QLatin1String(".xls");
    return target;
}

TRecordFileForm OpenFormOf(const QString &fileName)
{
    return RecordFileExtension(fileName) == QLatin1String(".xml") ? TRecordFileForm::Xml
                                                                  : TRecordFileForm::Text;
}

// --- saving ----------------------------------------------------------------------------------

TRecordFileSink::TRecordFileSink() = default;

TRecordFileSink::~TRecordFileSink() = default;

bool TRecordFileSink::Open(const QString &fileName)
{
    File_ = std::make_unique<TSaveFile>(fileName);
    // Never written in place: a folder that takes no new file fails the save rather than
    // risk the old file.
    File_->setDirectWriteFallback(false);
    // Unbuffered: every write reaches the system at once, so a write that fails is seen as it
    // fails. Buffered bytes that fail to reach the disk at commit would pass unnoticed.
    if (File_->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return true;
    Error_ =
        QStringLiteral("Cannot create file \"%1\". %2").arg(shown(fileName), File_->errorString());
    File_.reset();
    return false;
}

bool TRecordFileSink::Write(QByteArrayView bytes)
{
    if (!File_)
        return false;
    // A write may take only part of the bytes, and the next one then fails with the reason
    // (a full disk, a size limit); Qt does not always put that reason into errorString().
    while (!bytes.isEmpty()) {
        errno = 0;
        const qint64 n = File_->write(bytes.data(), bytes.size());
        const int reason = errno;
        if (n > 0) {
            bytes = bytes.sliced(n);
            continue;
        }
        const QString why = File_->error() != QFileDevice::NoError || reason == 0
                                ? File_->errorString()
                                : QString::fromLocal8Bit(std::strerror(reason));
        Error_ = QStringLiteral("Cannot write file \"%1\". %2").arg(shown(File_->fileName()), why);
        Cancel();
        return false;
    }
    return true;
}

bool TRecordFileSink::Commit()
{
    if (!File_)
        return false;
    const QString fileName = File_->fileName();
    const bool done = File_->error() == QFileDevice::NoError && File_->commit();
    if (!done)
        Error_ = QStringLiteral("Cannot write file \"%1\". %2")
                     .arg(shown(fileName), File_->errorString());
    File_.reset();
    return done;
}

void TRecordFileSink::Cancel()
{
    if (File_)
        File_->cancelWriting();
    File_.reset(); // the temporary file is removed, the target untouched
}

TSaveOutcome SaveOutcomeOf(const TSaveTarget &target, qsizetype rows, const QString &error,
                           bool cancelled)
{
    TSaveOutcome outcome;
    outcome.Target = target;
    outcome.Rows = rows;
    outcome.Error = error;
    outcome.Cancelled = cancelled;
    outcome.Ok = !cancelled && error.isEmpty();
    const QString name = shown(target.FileName);
    if (cancelled)
        outcome.Message = QStringLiteral("Save table to specified file: ") + name
                          + QStringLiteral(" cancelled; the file was not changed.");
    else if (outcome.Ok)
        outcome.Message =
            QStringLiteral("Save table to specified file: ") + name + QStringLiteral(" Scuss!");
    else if (target.Form == TRecordFileForm::Text)
        outcome.Message = QStringLiteral("Could not save table to specified file: ") + name;
    else
        outcome.Message = error;
    return outcome;
}

TSaveOutcome DBToFiles(TRecordTable &table, const QString &fileName, const QStringList &titles)
{
    const TSaveTarget target = SaveTargetOf(fileName);
    TRecordFileWriter writer(table, target.Form, titles);
    TRecordFileSink sink;
    if (sink.Open(target.FileName)) {
        QByteArray piece;
        piece.reserve(PieceBytes + 4096);
        bool done = false;
        while (!done) {
            piece.resize(0);
            done = writer.Produce(piece, PieceBytes);
            if (!sink.Write(piece))
                break;
        }
        if (done)
            sink.Commit();
    }
    if (target.Form == TRecordFileForm::Text)
        table.Last();
    return SaveOutcomeOf(target, writer.RowCount(), sink.Error());
}

// --- opening ---------------------------------------------------------------------------------

namespace {

// Feeds a device to a reader piece by piece; false when the device failed or a cancel came.
template<typename Reader>
bool feed(QIODevice &device, Reader &reader, TFileProgress *progress,
          const std::function<qsizetype()> &rows, TOpenOutcome &outcome)
{
    QByteArray piece(PieceBytes, Qt::Uninitialized);
    for (;;) {
        if (progress && progress->Cancel.load(std::memory_order_relaxed)) {
            outcome.Cancelled = true;
            return false;
        }
        const qint64 n = device.read(piece.data(), piece.size());
        if (n < 0) {
            outcome.Error = QStringLiteral("the file cannot be read: ") + device.errorString();
            return false;
        }
        if (n == 0)
            return true;
        const bool more = reader.Feed(QByteArrayView(piece.constData(), n));
        if (progress) {
            progress->Bytes.fetch_add(n, std::memory_order_relaxed);
            progress->Rows.store(rows(), std::memory_order_relaxed);
        }
        if (!more)
            return true;
    }
}

} // namespace

TOpenOutcome ReadRecordFile(QIODevice &device, TRecordFileForm form, TRecordTable &rows,
                            TFileProgress *progress)
{
    TOpenOutcome outcome;
    bool read = false;
    if (form != TRecordFileForm::Xml) {
        TTextRecordReader reader(&rows, form == TRecordFileForm::Journal
                                            ? TTextRecordReader::Form::Journal
                                            : TTextRecordReader::Form::File);
        read = feed(
            device, reader, progress, [&] { return reader.RowsAppended(); }, outcome);
        if (read) {
            outcome.Ok = reader.Finish();
            outcome.Error = reader.Error();
            outcome.Skipped = reader.LinesSkipped();
        }
    } else {
        TXmlPacketReader reader(rows);
        read = feed(
            device, reader, progress, [&] { return reader.Builder().RowsAppended(); }, outcome);
        if (read) {
            outcome.Ok = reader.Finish();
            outcome.Error = reader.Error();
            if (reader.NeedsFullParser()) {
                // Rare in a packet: a document type declaration or the like, which the full
                // parser reads from the start.
                rows.Empty();
                if (device.seek(0)) {
                    outcome.Ok = ReadXmlPacketWithQt(device, rows, &outcome.Error);
                } else {
                    outcome.Ok = false;
                    outcome.Error = QStringLiteral("the file cannot be read again");
                }
            }
        } else {
            rows.Empty(); // an XML packet read only in part gives no records
        }
    }
    if (progress)
        progress->Rows.store(rows.RecordCount(), std::memory_order_relaxed);
    if (outcome.Cancelled)
        rows.Empty();
    return outcome;
}

TOpenOutcome ReadRecordFile(const QString &fileName, TRecordTable &rows, TFileProgress *progress)
{
    return ReadRecordFile(fileName, OpenFormOf(fileName), rows, progress);
}

TOpenOutcome ReadRecordFile(const QString &fileName, TRecordFileForm form, TRecordTable &rows,
                            TFileProgress *progress)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        TOpenOutcome outcome;
        outcome.Error = file.errorString(); // the caller names the file
        return outcome;
    }
    if (progress)
        progress->Size.store(file.size(), std::memory_order_relaxed);
    return ReadRecordFile(file, form, rows, progress);
}

void AppendOpenedRows(TRecordTable &table, const TRecordTable &rows, TOpenOutcome &outcome)
{
    if (outcome.Cancelled)
        return;
    outcome.Appended = table.AppendRows(rows);
    if (outcome.Appended < rows.RecordCount() && outcome.Ok) {
        outcome.Ok = false;
        outcome.Error = QStringLiteral("the table is full");
    }
}

TOpenOutcome AnyToCds(const QString &fileName, TRecordTable &table, bool emptyFirst)
{
    if (emptyFirst)
        table.Empty();
    TRecordTable rows;
    TOpenOutcome outcome = ReadRecordFile(fileName, rows);
    AppendOpenedRows(table, rows, outcome);
    return outcome;
}
