// lumetra-record sorting parts: one row per part from a replayed batch, and the statistics it
// prints, writes as JSON and as a summary page, run as a user runs the program.
#include "../support/mosquittobroker.h"
#include "../support/partbatch.h"
#include "../support/pdftools.h"
#include "../support/recorderrun.h"
#include "../support/statehome.h"
#include "../support/stopprocess.h"
#include "../support/testfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class TestRecorderParts : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void batchOfFiveParts();
    void usage_data();
    void usage();
    void nominalForItsQuantity_data();
    void nominalForItsQuantity();
    void statisticsOnSigusr1_data();
    void statisticsOnSigusr1();
    void labStatistics();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString path(const QString &name) const { return dir_->filePath(name); }
};

void TestRecorderParts::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    QVERIFY2(QFileInfo::exists(recorder()), qPrintable(recorder()));
}

void TestRecorderParts::batchOfFiveParts()
{
    // Five capacitors, each on the probes for 3 s (six frames, 500 ms apart), OPEN between.
    // Each settles on its fourth frame, which reads 0.2 nF over: 100.5, 99.3, 101.9, 99.0 and
    // 100.2 nF are recorded, whose mean is 100.18 nF.
    QVERIFY(writeFile(path("batch.cap"),
                      partCapture(partBatch({100.3, 99.1, 101.7, 98.8, 100.0}, 6), 500)));
    const Run r =
        runRecorder({"--replay", "batch.cap", "--fast", "--per-part", "--stats", "--nominal",
                     "100n", "--output", "x.txt", "--stats-json", "s.json", "--summary", "s.pdf"},
                    dir_->path());
    QVERIFY2(r.status == 0, r.err.constData());
    QStringList values;
    for (const QStringList &row : fileRows(path("x.txt")))
        values << row[2];
    QCOMPARE(values, (QStringList{"100.5", "99.3", "101.9", "99.0", "100.2"}));

    const QString out = QString::fromLocal8Bit(r.out);
    QVERIFY2(out.contains(QRegularExpression("\n  Count +5\n")), qPrintable(out));
    QVERIFY2(out.contains(QRegularExpression("\n  Mean +100.18 nF\n")), qPrintable(out));
    // Against the typed nominal, 100.5 and 99.3 nF are the parts outside +/-0.5 %, 101.9 nF
    // the one outside +/-1 %.
    QVERIFY2(out.contains(QRegularExpression("\n  \\+/-0.5 % +2 ")), qPrintable(out));
    QVERIFY2(out.contains(QRegularExpression("\n  \\+/-1 % +2 ")), qPrintable(out));
    QVERIFY2(out.contains(QRegularExpression("\n  \\+/-2 % +1 ")), qPrintable(out));

    const QJsonObject json = QJsonDocument::fromJson(fileBytes(path("s.json"))).object();
    QCOMPARE(json["rows"].toInt(), 5);
    const QJsonObject group = json["groups"].toArray().at(0).toObject();
    QCOMPARE(group["mode"].toString(), "Cs");
    QCOMPARE(group["count"].toInt(), 5);
    QVERIFY2(qAbs(group["mean"].toDouble() - 100.18e-9) < 1e-18,
             qPrintable(QString::number(group["mean"].toDouble(), 'g', 17)));
    QCOMPARE(group["nominal"].toDouble(), 100e-9);
    QCOMPARE(group["classCounts"].toArray().at(0).toInt(), 2);

    const QString page = PdfTools::pageText(path("s.pdf"), 1);
    QVERIFY2(page.contains(QRegularExpression("Count +5\\s")), qPrintable(page));
    QVERIFY2(page.contains("100.18 nF"), qPrintable(page));
}

void TestRecorderParts::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("told"); // on stderr

    const QStringList replay{"--replay", "batch.cap", "--fast"};
    QTest::newRow("bad nominal") << replay + QStringList{"--stats", "--nominal", "100q"} << 1
                                 << "'100q'";
    QTest::newRow("bad within") << replay + QStringList{"--stats", "--within", "x%"} << 1 << "'x%'";
    QTest::newRow("within zero") << replay + QStringList{"--stats", "--within", "0"} << 1
                                 << "--within";
    QTest::newRow("one part is no set")
        << replay + QStringList{"--stats", "--match", "1"} << 1 << "'1'";
    QTest::newRow("no such series")
        << replay + QStringList{"--stats", "--series", "E7"} << 1 << "'E7'";
    QTest::newRow("a band as wide as a swap")
        << replay + QStringList{"--per-part", "--settle-band", "5"} << 1 << "'5'";
    QTest::newRow("settle time without --per-part")
        << replay + QStringList{"--settle-time", "2"} << 1 << "--per-part";
    QTest::newRow("nominal with nothing to use it")
        << replay + QStringList{"--nominal", "100n"} << 1 << "--stats";
    QTest::newRow("per part beside on-change")
        << replay + QStringList{"--per-part", "--on-change"} << 1 << "--on-change";
    QTest::newRow("one summary for several meters")
        << QStringList{"--simulate", "--simulate", "--summary", "s.pdf"} << 1 << "%s";
    // The reason in the system's own words.
#ifdef Q_OS_WIN
    QTest::newRow("summary that cannot be written")
        << replay + QStringList{"--summary", "no/such/folder/s.pdf"} << 2
        << "cannot write no/such/folder/s.pdf: ";
#else
    QTest::newRow("summary that cannot be written")
        << replay + QStringList{"--summary", "no/such/folder/s.pdf"} << 2
        << "cannot write no/such/folder/s.pdf: No such file or directory";
#endif
    QTest::newRow("JSON that cannot be written")
        << replay + QStringList{"--stats-json", "."} << 2 << "cannot write .: Is a directory";
}

void TestRecorderParts::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, told);
    QVERIFY(writeFile(path("batch.cap"), partCapture(partBatch({100.0}, 6), 500)));
    const Run r = runRecorder(arguments, dir_->path());
    QCOMPARE(r.status, status);
    QVERIFY2(QString::fromLocal8Bit(r.err).contains(told), r.err.constData());
    QVERIFY2(r.out.isEmpty(), r.out.constData());
    // Nothing is written by a run that cannot start.
    QCOMPARE(entries(dir_->path()), QStringList{"batch.cap"});
}

void TestRecorderParts::nominalForItsQuantity_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("capacitors"); // their nominal as JSON: a value, or its series
    QTest::addColumn<QString>("resistors");
    QTest::addColumn<QString>("told"); // on stderr, "" for nothing
    QTest::newRow("100n is for the capacitors") << QStringList{"--nominal", "100n"} << 0 << "1e-07"
                                                << "E12"
                                                << "";
    QTest::newRow("one for each quantity")
        << QStringList{"--nominal", "4.75k", "--nominal", "100n"} << 0 << "1e-07"
        << "4750"
        << "";
    QTest::newRow("the others from the series")
        << QStringList{"--nominal", "100n", "--series", "E24"} << 0 << "1e-07"
        << "E24"
        << "";
    // Known to be wrong only once the parts are: after the figures, as a mistake on the line.
    QTest::newRow("no parts in henries")
        << QStringList{"--nominal", "100nH"} << 1 << "E12"
        << "E12"
        << "lumetra-record: --nominal 100nH is for parts in henries, and there are none; the "
           "parts are Cs [F], Rs [Ohm].\n";
}

void TestRecorderParts::nominalForItsQuantity()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, capacitors);
    QFETCH(QString, resistors);
    QFETCH(QString, told);
    QByteArray parts = "NO\tTime\tMMode\tMValue\tMUnit\tSMode\tSValue\tSUnit\tFreq\r\n";
    int number = 0;
    for (const char *row :
         {"Cs\t100.1\tnF", "Cs\t99.8\tnF", "Cs\t100.4\tnF", "Rs\t4.71\tKOhm", "Rs\t4.69\tKOhm"})
        parts += QByteArray::number(++number) + "\t2026-12-08 09:05:07\t" + row
                 + "\tD\t0.012\t\t1KHz\r\n";
    QVERIFY(writeFile(path("parts.txt"), parts));
    const Run r = runRecorder(
        QStringList{"--open", "parts.txt", "--stats", "--stats-json", "s.json"} + arguments,
        dir_->path());
    QVERIFY2(r.status == status, r.err.constData());
    QCOMPARE(QString::fromLocal8Bit(r.err), told);
    QVERIFY2(r.out.contains("Cs [F]") && r.out.contains("Rs [Ohm]"), r.out.constData());
    QStringList nominals;
    for (const QJsonValue g :
         QJsonDocument::fromJson(fileBytes(path("s.json"))).object()["groups"].toArray()) {
        const QJsonObject o = g.toObject();
        nominals << (o["nominalSeries"].isString() ? o["nominalSeries"].toString()
                                                   : QString::number(o["nominal"].toDouble()));
    }
    QCOMPARE(nominals, (QStringList{capacitors, resistors}));
}

void TestRecorderParts::statisticsOnSigusr1_data()
{
    QTest::addColumn<QStringList>("meters");
    QTest::newRow("one meter") << QStringList{"--simulate"};
    // Each meter's own statistics, headed by its serial.
    QTest::newRow("two meters") << QStringList{"--simulate", "--simulate"};
}

void TestRecorderParts::statisticsOnSigusr1()
{
    QFETCH(QStringList, meters);
    QProcess p;
    p.setWorkingDirectory(dir_->path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(StateHomeVariable), dir_->path());
    p.setProcessEnvironment(env);
    PrepareStoppable(p);
    p.start(recorder(), meters + QStringList{"--stats", "--output", "%s.txt"}, OutputMode);
    QVERIFY(p.waitForStarted());
    QByteArray out;
    // Two rows a meter recorded (so the signal is handled by now), then the figures so far.
    QTRY_VERIFY_WITH_TIMEOUT((out += p.readAllStandardOutput()).count('\n') >= 2 * meters.size(),
                             30000);
    QVERIFY(AskForStatus(p));
    QTRY_VERIFY_WITH_TIMEOUT((out += p.readAllStandardOutput()).contains("Not a number"), 30000);
    QCOMPARE(p.state(), QProcess::Running);
    QVERIFY(AskToStop(p, TStopRequest::Terminate));
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    out += p.readAllStandardOutput();

    // Once on the signal, once at the end, a block per meter each time; the last blocks count
    // every row in the meter's file.
    const QString text = QString::fromLocal8Bit(out);
    QCOMPARE(text.count(QRegularExpression("^Rows ", QRegularExpression::MultilineOption)),
             2 * meters.size());
    const QStringList tail = text.split("\n").mid(text.split("\n").lastIndexOf(
        QRegularExpression(meters.size() > 1 ? "^LMT-SIM-0001:$" : "^Rows .*")));
    for (int n = 1; n <= meters.size(); ++n) {
        const QString serial = QStringLiteral("LMT-SIM-%1").arg(n, 4, 10, QLatin1Char('0'));
        const qsizetype rows = fileRows(path(serial + ".txt")).size();
        QVERIFY(rows >= 2);
        const QString heading = meters.size() > 1 ? serial + ":" : QString();
        const qsizetype at = heading.isEmpty() ? 0 : tail.indexOf(heading);
        QVERIFY2(at >= 0, qPrintable(text));
        QVERIFY2(tail.value(at + (heading.isEmpty() ? 0 : 1))
                     .contains(QRegularExpression(QStringLiteral("^Rows +%1$").arg(rows))),
                 qPrintable(text));
    }
}

void TestRecorderParts::labStatistics()
{
    // The central recorder keeps each publishing meter's statistics apart, as it keeps its files.
    TMosquittoBroker broker;
    QVERIFY2(broker.Start(), qPrintable(broker.Log()));
    QProcess central;
    central.setWorkingDirectory(dir_->path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(StateHomeVariable), dir_->path());
    central.setProcessEnvironment(env);
    PrepareStoppable(central);
    central.start(recorder(),
                  {"--from-mqtt", broker.Url("lab/#"), "--stats", "--stats-json", "c-%s.json"},
                  OutputMode);
    QVERIFY(central.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(broker.Log().contains("SUBSCRIBE"), 10000);
    const Run meters = runRecorder({"--simulate", "--simulate", "--frames", "3", "--quiet",
                                    "--output", "m-%s.txt", "--mqtt", broker.Url("lab")},
                                   dir_->path());
    QVERIFY2(meters.status == 0, meters.err.constData());
    const QString out = QString::fromLocal8Bit(stopAfterLines(central, 2 * 3));
    QCOMPARE(central.exitStatus(), QProcess::NormalExit);
    QCOMPARE(central.exitCode(), 0);
    for (const QString serial : {"LMT-SIM-0001", "LMT-SIM-0002"}) {
        QVERIFY2(out.contains(serial + ":\nRows          3\n"), qPrintable(out));
        const QJsonObject json =
            QJsonDocument::fromJson(fileBytes(path("c-" + serial + ".json"))).object();
        QCOMPARE(json["rows"].toInt(), 3);
    }
}

QTEST_GUILESS_MAIN(TestRecorderParts)
#include "tst_recorderparts.moc"
