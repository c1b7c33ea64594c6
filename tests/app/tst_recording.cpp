// Recording through the real window: frames in through the receive path, the real controls,
// rows out of the record table the grid shows.
#include "../support/frames.h"
#include "../support/modalhelper.h"
#include "../support/statehome.h"
#include "../support/windowfeed.h"

#include "tframeencoder.h"
#include "tfrmmain.h"
#include "tlcdpanel.h"
#include "tlongtimer.h"
#include "trecordtable.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

Q_DECLARE_METATYPE(TFrameFields)

using namespace ModalHelper;
using F = TRecordTable::Field;

namespace {

// A plain capacitance reading, 1 kHz, D on the secondary display: the fields tests vary. The
// worked frame without its auto range and battery marks, in nF with two decimals.
TFrameFields reading(int mainValue = 1287)
{
    TFrameFields f = workedFields();
    f.Auto = false;
    f.Battery = 0;
    f.MainValue = mainValue;
    f.MainDecimals = 2;
    return f;
}

QStringList row(const TRecordTable &t, qsizetype r)
{
    QStringList texts;
    for (int f = 0; f < TRecordTable::FieldCount; ++f)
        texts << t.TextAt(r, f);
    return texts;
}

} // namespace

class TestRecording : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void numbersStartAtOneAfterClear_data();
    void numbersStartAtOneAfterClear();
    void rowTexts_data();
    void rowTexts();
    void cpIntegerRule_data();
    void cpIntegerRule();
    void repeatOffRecordsOnlyNewReadings_data();
    void repeatOffRecordsOnlyNewReadings();
    void timeText();
    void secondsBox_data();
    void secondsBox();
    void secondsBoxWaitsASecond();
    void checkBoxCoupling_data();
    void checkBoxCoupling();
    void intervalRecordsTheNewestFramePerTick();
    void gridFollowsTheNewestRow();

private:
    QString number(const char *text) const
    {
        return QString::fromLatin1(text).replace(QLatin1Char('.'), w->DecimalSep());
    }
    void send(const TFrameFields &f) { receive(*w, EncodeFrame(f)); }
    QLineEdit *display() const { return w->pnlLcd->findChild<QLineEdit *>("lcdMDisp"); }
    TLongTimer *intervalTimer() const { return w->timerInterval->findChild<TLongTimer *>(); }

    QTemporaryDir state_;
    TfrmMain *w = nullptr;
    TRecordTable *t = nullptr;
};

void TestRecording::initTestCase()
{
    // Whatever the window keeps between runs goes to a folder of the test's own.
    QVERIFY(state_.isValid());
    qputenv(StateHomeVariable, state_.path().toLocal8Bit());
}

void TestRecording::init()
{
    w = new TfrmMain();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    t = w->findChild<TRecordTable *>(QStringLiteral("cds1"));
    QVERIFY(t);
    QVERIFY(display());
    QVERIFY(intervalTimer());
}

void TestRecording::cleanup()
{
    delete w;
    w = nullptr;
}

void TestRecording::numbersStartAtOneAfterClear_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("nextNumber");
    QTest::newRow("record bar, Yes") << "btnRecordNew"
                                     << "Yes" << 1;
    QTest::newRow("record bar, No") << "btnRecordNew"
                                    << "No" << 3;
    QTest::newRow("chart bar, Yes") << "btnNew"
                                    << "Yes" << 1;
    QTest::newRow("chart bar, No") << "btnNew"
                                   << "No" << 3;
}

void TestRecording::numbersStartAtOneAfterClear()
{
    QFETCH(QString, button);
    QFETCH(QString, answer);
    QFETCH(int, nextNumber);
    send(reading(100));
    send(reading(100)); // "Repeat" is on at start: every frame counts
    QCOMPARE(t->RecordCount(), 2);
    QCOMPARE(t->ValueAt(0, F::aNO), QVariant(1));
    QCOMPARE(t->ValueAt(1, F::aNO), QVariant(2));

    pressOnNextModal(answer);
    QTest::mouseClick(w->findChild<QToolButton *>(button), Qt::LeftButton);
    QCOMPARE(t->RecordCount(), nextNumber == 1 ? 0 : 2);
    QCOMPARE(w->Panel4->DBGrid1->model()->rowCount(), int(t->RecordCount()));

    send(reading(100));
    QCOMPARE(t->ValueAt(t->RecordCount() - 1, F::aNO), QVariant(nextNumber));
}

void TestRecording::rowTexts_data()
{
    QTest::addColumn<TFrameFields>("frame");
    QTest::addColumn<QStringList>("texts"); // aMMode .. aFreq
    const auto make = [](int mode, bool parallel, int sub, int freq) {
        TFrameFields f = reading();
        f.MainMode = mode;
        f.Parallel = parallel;
        f.SubMode = sub;
        f.Frequency = freq;
        return f;
    };
    const QString m = QStringLiteral("12.87");
    QTest::newRow("Ls ESR") << make(1, false, 3, 2)
                            << QStringList{"Ls", m, "nF", "ESR", "0.012", "", "1KHz"};
    QTest::newRow("Lp RP") << make(1, true, 3, 0)
                           << QStringList{"Lp", m, "nF", "RP", "0.012", "", "100Hz"};
    QTest::newRow("Cs Q") << make(2, false, 2, 1)
                          << QStringList{"Cs", m, "nF", "Q", "0.012", "", "120Hz"};
    QTest::newRow("Cp RP 10 kHz") << make(2, true, 3, 3)
                                  << QStringList{"Cp", m, "nF", "RP", "0.012", "", "10KHz"};
    QTest::newRow("Rs no ESR") << make(3, false, 3, 4)
                               << QStringList{"Rs", m, "nF", "", "0.012", "", "100KHz"};
    QTest::newRow("Rp D") << make(3, true, 1, 2)
                          << QStringList{"Rp", m, "nF", "D", "0.012", "", "1KHz"};
    QTest::newRow("DCR parallel") << make(4, true, 0, 2)
                                  << QStringList{"DCR", m, "nF", "", "0.012", "", "1KHz"};
    QTest::newRow("no mode") << make(0, false, 0, 2)
                             << QStringList{"", m, "nF", "", "0.012", "", "1KHz"};
    QTest::newRow("mode 6") << make(6, true, 6, 2)
                            << QStringList{"p", m, "nF", "", "0.012", "", "1KHz"};
    QTest::newRow("frequency 5") << make(2, false, 1, 5)
                                 << QStringList{"Cs", m, "nF", "D", "0.012", "", ""};
    QTest::newRow("theta") << make(
        3, false, 4, 2) << QStringList{"Rs", m, "nF", QString(QChar(0x03B8)), "0.012", "", "1KHz"};
    TFrameFields off = make(2, false, 1, 2);
    off.MainStatus = 4;
    off.SubUnit = 13;
    QTest::newRow("OFF") << off << QStringList{"Cs", "", "nF", "D", "0.012", "%", "1KHz"};
    TFrameFields words = make(1, false, 2, 2);
    words.MainStatus = 9;
    words.SubStatus = 10;
    words.MainUnit = 31; // no unit has this code
    words.SubUnit = 14;
    QTest::newRow("OPEN SHORT") << words
                                << QStringList{"Ls", "OPEN", "", "Q", "SHORT", "Deg", "1KHz"};
}

void TestRecording::rowTexts()
{
    QFETCH(TFrameFields, frame);
    QFETCH(QStringList, texts);
    send(frame);
    QCOMPARE(t->RecordCount(), 1);
    QStringList expected = texts;
    for (QString &text : expected)
        if (text.contains(QLatin1Char('.')))
            text = number(qPrintable(text));
    QCOMPARE(row(*t, 0).mid(2), expected);
    QCOMPARE(t->ValueAt(0, F::aNO), QVariant(1));
    QVERIFY(!t->TextAt(0, F::aTime).isEmpty());
    for (int f = 0; f < TRecordTable::FieldCount; ++f)
        QVERIFY(!t->IsNullAt(0, f)); // an empty text is still a value
    if (frame.SubMode == 4)
        QCOMPARE(t->BytesAt(0, F::aSMode), QByteArray("\xCE\xB8")); // stored as UTF-8
}

void TestRecording::cpIntegerRule_data()
{
    QTest::addColumn<bool>("parallel");
    QTest::addColumn<int>("frequency");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("recorded");
    QTest::newRow("Cp 120 Hz") << true << 1 << 1287 << 2 << "12";
    QTest::newRow("Cp 100 Hz") << true << 0 << 1999 << 1 << "199";
    QTest::newRow("Cp 100 Hz .1234") << true << 0 << 1234 << 4 << "0";
    QTest::newRow("Cp 1 kHz") << true << 2 << 1287 << 2 << "12.87";
    QTest::newRow("Cs 100 Hz") << false << 0 << 1287 << 2 << "12.87";
}

void TestRecording::cpIntegerRule()
{
    QFETCH(bool, parallel);
    QFETCH(int, frequency);
    QFETCH(int, value);
    QFETCH(int, decimals);
    QFETCH(QString, recorded);
    TFrameFields f = reading(value);
    f.Parallel = parallel;
    f.Frequency = frequency;
    f.MainDecimals = decimals;
    send(f);
    const QString expected = number(qPrintable(recorded));
    QCOMPARE(t->TextAt(0, F::aMValue), expected);
    QCOMPARE(display()->text(), expected); // the panel shows what was recorded
    QCOMPARE(w->Decoder().State().MainText, expected);
    QCOMPARE(w->Session()->Policy().LastRecordedText(), expected);
}

void TestRecording::repeatOffRecordsOnlyNewReadings_data()
{
    QTest::addColumn<TFrameFields>("next");
    QTest::addColumn<int>("rows");
    TFrameFields f = reading();
    f.SubValue = 99;
    QTest::newRow("secondary reading") << f << 1;
    f = reading();
    f.MainUnit = 11;
    QTest::newRow("unit") << f << 1;
    f = reading();
    f.Frequency = 3;
    f.Parallel = true;
    QTest::newRow("frequency and connection") << f << 1;
    f = reading();
    f.MainStatus = 7;
    QTest::newRow("status alone") << f << 1;
    QTest::newRow("main reading") << reading(1288) << 2;
    // The Cp rule records "12" but the next frame reads "12.88" again: a new text every time.
    f = reading(1288);
    f.Parallel = true;
    f.Frequency = 0;
    QTest::newRow("Cp at 100 Hz") << f << 3;
}

void TestRecording::repeatOffRecordsOnlyNewReadings()
{
    QFETCH(TFrameFields, next);
    QFETCH(int, rows);
    QTest::mouseClick(w->Panel4->cbRepeat, Qt::LeftButton, {},
                      QPoint(8, w->Panel4->cbRepeat->height() / 2));
    QVERIFY(!w->Panel4->cbRepeat->isChecked());
    send(reading());
    send(reading());
    QCOMPARE(t->RecordCount(), 1);
    send(next);
    send(next);
    QCOMPARE(t->RecordCount(), rows);
}

void TestRecording::timeText()
{
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    send(reading());
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);
    const QString time = t->TextAt(0, F::aTime);
    // Finnish writes times as 9.05; everyone else here uses a colon.
    const QString sep = QLocale::system().name().startsWith(QLatin1String("fi")) ? "." : ":";
    const QString escaped = QRegularExpression::escape(sep);
    QVERIFY2(QRegularExpression(
                 QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d%1\\d\\d%1\\d\\d$").arg(escaped))
                 .match(time)
                 .hasMatch(),
             qPrintable(time));
    const QDateTime stamped = QDateTime::fromString(QString(time).replace(sep, QStringLiteral(":")),
                                                    QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QVERIFY(stamped >= before.addMSecs(-before.time().msec()));
    QVERIFY(stamped <= after);
}

void TestRecording::secondsBox_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<qint64>("interval");
    QTest::newRow("letters dropped") << "a5b"
                                     << "5" << qint64(5000);
    QTest::newRow("zero") << "0"
                          << "1" << qint64(1000);
    QTest::newRow("nine digits") << "100000000"
                                 << "1" << qint64(1000);
    QTest::newRow("largest") << "99999999"
                             << "99999999" << qint64(99999999000);
    QTest::newRow("past a QTimer") << "3000000"
                                   << "3000000" << qint64(3000000000);
    QTest::newRow("empty") << ""
                           << "1" << qint64(1000);
}

void TestRecording::secondsBox()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(qint64, interval);
    w->Panel4->timerInputDelay->setInterval(
        50); // the 1 s apply delay, shortened (see the next test)
    w->Panel4->edtRecInterval->setFocus();
    w->Panel4->edtRecInterval->selectAll();
    QTest::keyClick(w->Panel4->edtRecInterval, Qt::Key_Backspace);
    QTest::keyClicks(w->Panel4->edtRecInterval, typed);
    QCOMPARE(w->Panel4->edtRecInterval->text(),
             QString(typed).remove(QRegularExpression("[^0-9]")));
    QTRY_COMPARE(w->Panel4->edtRecInterval->text(), shown);
    QTRY_COMPARE(intervalTimer()->Interval(), interval);
    QTRY_VERIFY(!w->Panel4->timerInputDelay->isActive()); // the reset to "1" is applied once more
    QCOMPARE(w->Panel4->edtRecInterval->text(), shown);
    QCOMPARE(intervalTimer()->Interval(), interval);
}

void TestRecording::secondsBoxWaitsASecond()
{
    QCOMPARE(w->Panel4->timerInputDelay->interval(), 1000);
    w->Panel4->edtRecInterval->selectAll();
    QTest::keyClicks(w->Panel4->edtRecInterval, QStringLiteral("7"));
    QTest::qWait(600);
    QTest::keyClicks(w->Panel4->edtRecInterval, QStringLiteral("5")); // every change starts anew
    QTest::qWait(600);
    QCOMPARE(intervalTimer()->Interval(), qint64(1000));
    QTRY_COMPARE_WITH_TIMEOUT(intervalTimer()->Interval(), qint64(75000), 1500);
}

void TestRecording::checkBoxCoupling_data()
{
    QTest::addColumn<QString>("clicks"); // R = "Repeat", I = "Sampling Interval"
    QTest::addColumn<bool>("repeat");
    QTest::addColumn<bool>("interval");
    QTest::newRow("interval on") << "I" << true << true;
    QTest::newRow("interval on, off") << "II" << true << false;
    QTest::newRow("interval on, repeat off") << "IR" << false << false;
    QTest::newRow("repeat off, interval on") << "RI" << true << true;
    QTest::newRow("repeat off") << "R" << false << false;
    QTest::newRow("repeat off, on") << "RR" << true << false;
}

void TestRecording::checkBoxCoupling()
{
    QFETCH(QString, clicks);
    QFETCH(bool, repeat);
    QFETCH(bool, interval);
    for (QChar c : clicks) {
        QCheckBox *box = c == u'R' ? w->Panel4->cbRepeat : w->Panel4->cbInterval;
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    }
    QCOMPARE(w->Panel4->cbRepeat->isChecked(), repeat);
    QCOMPARE(w->Panel4->cbInterval->isChecked(), interval);
    QCOMPARE(w->timerInterval->isActive(), interval); // the timer runs exactly with the box
    QCOMPARE(t->RecordCount(), 0);                    // switching takes no record
}

// Frames four times faster than the ticks: one row a tick, holding the reading sent last before
// it, and nothing left waiting to make a later row stale.
void TestRecording::intervalRecordsTheNewestFramePerTick()
{
    intervalTimer()->SetInterval(400); // 2 s against frames every 0.5 s, four times as fast
    QTest::mouseClick(w->Panel4->cbInterval, Qt::LeftButton, {},
                      QPoint(8, w->Panel4->cbInterval->height() / 2));
    QVERIFY(w->timerInterval->isActive());
    int sent = 0;
    QList<QString> lastSentAtTick;
    QList<qsizetype> waitingAfterTick;
    // Connected after the window's own handler, so it sees each tick's outcome.
    connect(intervalTimer(), &TLongTimer::timeout, this, [&] {
        lastSentAtTick << number(qPrintable(QString::number((1000 + sent - 1) / 100.0, 'f', 2)));
        waitingAfterTick << w->Decoder().RxText().size();
    });
    QTimer meter;
    connect(&meter, &QTimer::timeout, this, [&] { send(reading(1000 + sent++)); });
    meter.start(100);
    QTest::qWait(1300);
    meter.stop();
    QTest::mouseClick(w->Panel4->cbInterval, Qt::LeftButton, {},
                      QPoint(8, w->Panel4->cbInterval->height() / 2));
    QVERIFY(!w->timerInterval->isActive());
    QVERIFY2(sent >= 10, qPrintable(QString::number(sent)));
    QVERIFY2(lastSentAtTick.size() >= 2, qPrintable(QString::number(lastSentAtTick.size())));
    QCOMPARE(t->RecordCount(), lastSentAtTick.size());
    for (int r = 0; r < lastSentAtTick.size(); ++r) {
        QCOMPARE(t->TextAt(r, F::aMValue), lastSentAtTick.at(r));
        QCOMPARE(waitingAfterTick.at(r), 0);
    }
    // With the interval off the next frame shows and records at once; no backlog comes first.
    const qsizetype rows = t->RecordCount();
    send(reading(4242));
    QCOMPARE(t->RecordCount(), rows + 1);
    QCOMPARE(t->TextAt(rows, F::aMValue), number("42.42"));
    QCOMPARE(display()->text().trimmed(), number("42.42"));
}

void TestRecording::gridFollowsTheNewestRow()
{
    QCOMPARE(w->Panel4->DBGrid1->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    for (int i = 0; i < 50; ++i)
        send(reading(1000 + i));
    QCOMPARE(w->Panel4->DBGrid1->model()->rowCount(), 50);
    QTRY_COMPARE(w->Panel4->DBGrid1->currentIndex().row(), 49);
    QCOMPARE(w->Panel4->DBGrid1->model()->index(49, 3).data().toString(), number("10.49"));
    QVERIFY(w->Panel4->DBGrid1->selectionModel()->isRowSelected(49, QModelIndex()));
    QCoreApplication::processEvents();
    QVERIFY(w->Panel4->DBGrid1->rowAt(w->Panel4->DBGrid1->viewport()->height() - 2)
            >= 40); // scrolled down
}

QTEST_MAIN(TestRecording)
#include "tst_recording.moc"
