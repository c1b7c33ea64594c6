#include "trecorder.h"

#include "tlabreading.h"
#include "tmetersession.h"
#include "treconnector.h"
#include "trecordfiles.h"
#include "trecording.h"
#include "trecordtable.h"
#include "ttextrecords.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// Why a file cannot be written where it is to be, or "": a file made and removed beside it
// proves the folder, long before hours of recording would find out.
QString unwritableReason(const QString &file)
{
    const QFileInfo info(file);
    if (info.isDir())
        return QStringLiteral("Is a directory");
    QTemporaryFile probe(info.absoluteDir().filePath(QStringLiteral(".lumetra-check-XXXXXX")));
    if (!probe.open())
        return probe.errorString();
    if (info.exists() && !info.isWritable())
        return QStringLiteral("Permission denied");
    return {};
}

} // namespace

TRecorder::TRecorder(const TRecorderOptions &options, TMeterSource *source, QObject *parent)
    : QObject(parent)
    , Options_(options)
    , Session_(new TMeterSession(this))
    , Stats_(Session_->DecimalSep().toUtf8())
{
    // Sampling starts with the run, so the first row comes one interval after the start.
    Session_->SetMode(options.Recording.WithSampling(false));
    Session_->SetSource(source);
    if (options.Reconnect) {
        // Each outage is told as it begins and as it ends; the run goes on through it.
        auto *reconnector = new TReconnector(*Session_, this);
        const auto tell = [](const QString &text) {
            std::fprintf(stderr, "lumetra-record: %s\n", text.toLocal8Bit().constData());
            std::fflush(stderr);
        };
        connect(reconnector, &TReconnector::MeterAway, this, tell);
        connect(reconnector, &TReconnector::MeterBack, this, tell);
        reconnector->SetEnabled(true);
    }
    connect(Session_, &TMeterSession::ReadingRecorded, this, &TRecorder::recorded);
    connect(Session_, &TMeterSession::NoticeRaised, this, &TRecorder::notice);
    connect(Session_, &TMeterSession::SourceEnded, this, [this] {
        if (!Stopped_)
            stop(false);
    });
}

TRecorder::~TRecorder() = default;

qsizetype TRecorder::Rows() const
{
    return Session_->Table().RecordCount();
}

const TRecordTable &TRecorder::Table() const
{
    return Session_->Table();
}

bool TRecorder::CheckFiles()
{
    if (!Options_.Output.isEmpty()) {
        const TSaveTarget target = SaveTargetOf(Options_.Output);
        OutputName_ = target.FileName;
        XmlOutput_ = target.Form == TRecordFileForm::Xml;
    }
    for (const QString &file :
         {OutputName_, Options_.Capture, Options_.Report, Options_.Summary, Options_.StatsJson}) {
        if (file.isEmpty())
            continue;
        const QString why = unwritableReason(file);
        if (!why.isEmpty()) {
            Error_ = QStringLiteral("cannot write %1: %2").arg(file, why);
            return false;
        }
    }
    return true;
}

bool TRecorder::Start()
{
    for (const QString &file : Options_.Open) {
        const TOpenOutcome opened = AnyToCds(file, Session_->Table(), false);
        if (!opened.Ok) {
            // The system's reason, or what is wrong in the file and where.
            Error_ = file + QStringLiteral(": ") + opened.Error;
            return false;
        }
    }
    // Until the recording runs, a notice is the reason Start fails and is told by the caller.
    // The files are opened only once the meter is there: a start that fails changes none.
    if (Session_->Source() && !Session_->Open())
        return false;
    const auto failed = [this] {
        Session_->Close();
        return false;
    };
    if (!Options_.Capture.isEmpty() && !Session_->StartCapture(Options_.Capture))
        return failed();
    if (!OutputName_.isEmpty() && !XmlOutput_) {
        Text_.setFileName(OutputName_);
        // Unbuffered: a failed write is seen at once, with the system's reason, and cut back.
        if (!Text_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)
            || !appendText(TextHeaderLine(TextFileTitles())) || !appendTextRows(0)) {
            Error_ = WriteError_.isEmpty()
                         ? QStringLiteral("%1: %2").arg(OutputName_, Text_.errorString())
                         : WriteError_;
            return failed();
        }
    }
    // With nothing to record, the opened rows are what there is to show.
    if (!Session_->Source())
        for (qsizetype row = 0; row < Session_->Table().RecordCount(); ++row)
            printRow(row);
    Started_ = true;
    Session_->SetMode(Options_.Recording);
    return true;
}

void TRecorder::notice(const TNotice &notice)
{
    // Nothing of this program waits on a message box; whatever the core has to tell ends the
    // recording. What can be mended is tried again by running the command again.
    const QString text = notice.TryAgain
                             ? notice.Text + QStringLiteral(" Then run the command again.")
                             : notice.Text;
    if (!Started_)
        Error_ = text;
    else
        fail(text);
}

void TRecorder::recorded(qsizetype row)
{
    if (Stopped_)
        return;
    if (Text_.isOpen() && !appendTextRows(row)) {
        fail(WriteError_);
        return;
    }
    printRow(row);
    countRows();
    if (Options_.Frames > 0 && ++Recorded_ >= Options_.Frames)
        stop(false);
}

void TRecorder::countRows()
{
    if (!Options_.KeepsStatistics())
        return;
    const qsizetype rows = Session_->Table().RecordCount();
    if (Counted_ < rows)
        Stats_.AddRows(Session_->Table(), Counted_, rows - 1);
    Counted_ = rows;
}

TPartSummary TRecorder::Summary()
{
    countRows();
    return Summarize(Stats_, Options_.SummaryOptions);
}

void TRecorder::AddReading(const TLabReading &reading)
{
    if (Stopped_)
        return;
    AppendLabReading(Session_->Table(), reading, SystemTimeSeparator());
    recorded(Session_->Table().RecordCount() - 1);
}

bool TRecorder::appendTextRows(qsizetype from)
{
    const TRecordTable &table = Session_->Table();
    QByteArray lines;
    for (qsizetype row = from; row < table.RecordCount(); ++row)
        AppendTextRow(table, row, lines);
    // Every row is in the file once it is recorded: a kill loses none of them.
    return appendText(lines);
}

bool TRecorder::appendText(const QByteArray &lines)
{
    // Written straight to the file, so a failure comes with the system's own reason.
    const int fd = Text_.handle();
    const qint64 whole = Text_.size();
    const char *data = lines.constData();
    qint64 left = lines.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            WriteError_ = QStringLiteral("%1: %2").arg(
                OutputName_, QString::fromLocal8Bit(std::strerror(errno)));
            // A full disk takes part of a row: the file is cut back to its last whole one.
            if (::ftruncate(fd, whole) == 0)
                ::lseek(fd, whole, SEEK_SET);
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

void TRecorder::printRow(qsizetype row)
{
    if (Options_.Quiet)
        return;
    const auto text = [&](int field) { return Session_->Table().TextAt(row, field); };
    // "2026-12-08 09:05:07 Cp 123.4 nF, D 0.012, 1KHz": the parts a row has, as a person reads
    // the display.
    const auto joined = [](std::initializer_list<QString> parts) {
        QStringList kept;
        for (const QString &p : parts)
            if (!p.isEmpty())
                kept << p;
        return kept.join(QLatin1Char(' '));
    };
    QStringList line;
    for (const QString &part : {joined({text(TRecordTable::aTime), text(TRecordTable::aMMode),
                                        text(TRecordTable::aMValue), text(TRecordTable::aMUnit)}),
                                joined({text(TRecordTable::aSMode), text(TRecordTable::aSValue),
                                        text(TRecordTable::aSUnit)}),
                                text(TRecordTable::aFreq)})
        if (!part.isEmpty())
            line << part;
    std::fprintf(stdout, "%s%s\n", Options_.Prefix.toLocal8Bit().constData(),
                 line.join(QStringLiteral(", ")).toLocal8Bit().constData());
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return;
    // Whoever read the lines has gone (| head): printing stops; the recording goes on into
    // the output, and without one it ends as at Ctrl+C.
    std::clearerr(stdout);
    Options_.Quiet = true;
    if (OutputName_.isEmpty() && !Stopped_)
        stop(false);
}

void TRecorder::fail(const QString &why)
{
    if (Stopped_)
        return;
    Error_ = why;
    stop(true);
}

void TRecorder::stop(bool failed)
{
    Stopped_ = true;
    // The run goes on until every meter is done; what this meter records meanwhile would reach
    // the XML file and the lab bus, though it is more than was asked for and the text file
    // never gets it.
    Session_->SetRecording(false);
    emit Stopped(failed);
}

bool TRecorder::Finish()
{
    Stopped_ = true;
    // Nothing opens the meter again once the run is over, not even while the broker is
    // given its last seconds.
    if (auto *reconnector = findChild<TReconnector *>())
        reconnector->SetEnabled(false);
    // Stopped before the files are finished, so no block arrives half-way.
    Session_->SetMode(Session_->Mode().WithSampling(false));
    Session_->Close();
    // Only what fails here is told from here: a failure that stopped the run was told then.
    QString failure;
    if (Text_.isOpen()) {
        if (!Text_.flush())
            failure = QStringLiteral("%1: %2").arg(OutputName_, Text_.errorString());
        Text_.close();
    }
    if (XmlOutput_) {
        // Whole or not at all: a failed save leaves the file that was there.
        const TSaveOutcome saved = DBToFiles(Session_->Table(), OutputName_);
        if (!saved.Ok && failure.isEmpty())
            failure = QStringLiteral("%1: %2").arg(OutputName_, saved.Error);
    }
    if (failure.isEmpty())
        return true;
    Error_ = failure;
    return false;
}
