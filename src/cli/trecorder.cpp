#include "trecorder.h"

#include "tlongtimer.h"
#include "trecordfiles.h"
#include "trecording.h"
#include "trecordingstep.h"
#include "trecordtable.h"
#include "ttextrecords.h"

#include <QLocale>
#include <QTimer>

#include <cstdio>

TRecorder::TRecorder(const TRecorderOptions &options, QObject *parent)
    : QObject(parent)
    , Options_(options)
    , Decoder_(this)
    , Table_(std::make_unique<TRecordTable>())
    , Step_(std::make_unique<TRecordingStep>(*Table_))
{
    // Readings carry the system's decimal separator, as in the window.
    QString sep = QLocale::system().decimalPoint();
    Decoder_.SetDecimalSep(sep.isEmpty() ? QStringLiteral(".") : sep.left(3));
    Step_->SetRepeat(options.Mode != TRecorderOptions::OnChange);
    if (options.Mode == TRecorderOptions::Interval) {
        IntervalTimer_ = new QTimer(this);
        Interval_ = new TLongTimer(IntervalTimer_);
        Interval_->SetInterval(options.IntervalSeconds * 1000);
        // One pass per tick: the newest frame waiting, or none.
        connect(Interval_, &TLongTimer::timeout, this, [this] { Decoder_.ExtractFrame(); });
    }
}

TRecorder::~TRecorder() = default;

qsizetype TRecorder::Rows() const
{
    return Table_->RecordCount();
}

bool TRecorder::Start()
{
    for (const QString &file : Options_.Open) {
        const TOpenOutcome opened = AnyToCds(file, *Table_, false);
        if (!opened.Ok) {
            Error_ = QStringLiteral("%1: %2 %3")
                         .arg(file, QLatin1String(OpenFailedMessage), opened.Error);
            return false;
        }
    }
    if (!Options_.Output.isEmpty()) {
        const TSaveTarget target = SaveTargetOf(Options_.Output);
        OutputName_ = target.FileName;
        XmlOutput_ = target.Form == TRecordFileForm::Xml;
        if (!XmlOutput_) {
            Text_.setFileName(OutputName_);
            if (!Text_.open(QIODevice::WriteOnly | QIODevice::Truncate)
                || Text_.write(TextHeaderLine(TextFileTitles())) < 0 || !appendTextRows(0)) {
                Error_ = QStringLiteral("%1: %2").arg(OutputName_, Text_.errorString());
                return false;
            }
        }
    }
    if (!Options_.Capture.isEmpty() && !Capture_.Open(Options_.Capture)) {
        Error_ = QStringLiteral("%1: %2").arg(Options_.Capture, Capture_.Error());
        return false;
    }
    if (Interval_)
        Interval_->SetEnabled(true);
    return true;
}

void TRecorder::Receive(const std::uint8_t *data, std::uint32_t len)
{
    if (Stopped_)
        return;
    if (Capture_.IsOpen() && !Capture_.Write(data, len)) {
        fail(QStringLiteral("%1: %2").arg(Options_.Capture, Capture_.Error()));
        return;
    }
    Decoder_.AppendReceived(data, len);
    if (!Interval_)
        Decoder_.ExtractFrame();
}

bool TRecorder::RecordEveryFrame() const
{
    return Step_->Repeat();
}

void TRecorder::RecordReading(TMeterState &s)
{
    if (Stopped_)
        return;
    Step_->Record(s, s.MainText, Decoder_.DecimalSep());
    const qsizetype row = Table_->RecordCount() - 1;
    if (Text_.isOpen() && !appendTextRows(row)) {
        fail(QStringLiteral("%1: %2").arg(OutputName_, Text_.errorString()));
        return;
    }
    printRow(row);
    if (Options_.Frames > 0 && ++Recorded_ >= Options_.Frames) {
        Stopped_ = true;
        emit Stopped(false);
    }
}

bool TRecorder::appendTextRows(qsizetype from)
{
    QByteArray lines;
    for (qsizetype row = from; row < Table_->RecordCount(); ++row)
        AppendTextRow(*Table_, row, lines);
    // Every row is in the file once it is recorded: a kill loses none of them.
    return Text_.write(lines) == lines.size() && Text_.flush();
}

void TRecorder::printRow(qsizetype row)
{
    if (Options_.Quiet)
        return;
    const auto text = [&](int field) { return Table_->TextAt(row, field); };
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
    std::fprintf(stdout, "%s\n", line.join(QStringLiteral(", ")).toLocal8Bit().constData());
    std::fflush(stdout);
}

void TRecorder::fail(const QString &why)
{
    if (Stopped_)
        return;
    Stopped_ = true;
    Error_ = why;
    emit Stopped(true);
}

bool TRecorder::Finish()
{
    Stopped_ = true;
    if (Interval_)
        Interval_->SetEnabled(false);
    bool ok = true;
    if (Text_.isOpen()) {
        ok = Text_.flush();
        Text_.close();
        if (!ok && Error_.isEmpty())
            Error_ = QStringLiteral("%1: %2").arg(OutputName_, Text_.errorString());
    }
    if (XmlOutput_) {
        // Whole or not at all: a failed save leaves the file that was there.
        const TSaveOutcome saved = DBToFiles(*Table_, OutputName_);
        if (!saved.Ok) {
            ok = false;
            if (Error_.isEmpty())
                Error_ = QStringLiteral("%1: %2").arg(OutputName_, saved.Error);
        }
    }
    return ok && Error_.isEmpty();
}
