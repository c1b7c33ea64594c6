// The lab bus under load, below the front ends: METERS publishers at the line's top rate
// (56 readings/s each) into one mosquitto on loopback, and one central subscriber that writes
// each meter's rows into its own text file, as the central recorder does. Publishers and the
// subscriber run in processes of their own, so each one's CPU time is its own.
//   bench_lab [METERS [SECONDS]]            (defaults 50 and 60)
// Prints: readings recorded by the publishers and delivered to the files, the delay from a
// reading's time to its row in a file (median, 99th percentile), CPU per meter, the time of
// one Publish call, and the broker's CPU.
#include "../tests/support/labsample.h"
#include "../tests/support/mosquittobroker.h"
#include "../tests/support/processlimits.h"
#include "tlabpublisher.h"
#include "tlabsubscriber.h"
#include "tlaburl.h"
#include "trecordtable.h"
#include "ttextrecords.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr double ReadingsPerSecond = 56.0;

TLabUrl parse(const QString &text, TLabUrlUse use)
{
    QString error;
    const auto url = ParseLabUrl(text, use, &error);
    if (!url)
        qFatal("%s", qPrintable(error));
    return *url;
}

// Child: METERS publishers for SECONDS, then waits until the broker has every reading.
int publishers(const QString &url, int meters, int seconds)
{
    std::vector<std::unique_ptr<TLabPublisher>> pubs;
    for (int m = 0; m < meters; ++m) {
        pubs.push_back(std::make_unique<TLabPublisher>(
            parse(url, TLabUrlUse::Publish),
            QStringLiteral("LMT-BENCH-%1").arg(m, 4, 10, QLatin1Char('0'))));
        if (!pubs.back()->Start())
            qFatal("%s", qPrintable(pubs.back()->Error()));
        pubs.back()->SetMeterOnline(true);
    }
    const qint64 total = qint64(seconds * ReadingsPerSecond);
    qint64 sent = 0;
    double publishNs = 0;
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        // As many readings as the rate owes by now: a late tick catches up, as a meter's
        // buffered frames do.
        const qint64 due =
            std::min<qint64>(total, qint64(clock.elapsed() * ReadingsPerSecond / 1000.0));
        for (; sent < due; ++sent) {
            const QDateTime now = QDateTime::currentDateTime();
            for (int m = 0; m < meters; ++m) {
                const TLabReading r =
                    SampleLabReading(QStringLiteral("LMT-BENCH-%1").arg(m, 4, 10, QLatin1Char('0')),
                                     qint32(sent + 1), now);
                QElapsedTimer call;
                call.start();
                pubs[std::size_t(m)]->Publish(r);
                publishNs += double(call.nsecsElapsed());
            }
        }
        if (sent < total)
            return;
        for (const auto &p : pubs)
            if (p->Pending() > 0)
                return;
        tick.stop();
        QCoreApplication::quit();
    });
    tick.start(5);
    QCoreApplication::exec();
    std::printf("publishers: %lld readings each, cpu %.3f s, publish call %.2f us\n",
                static_cast<long long>(total), cpuSeconds(),
                publishNs / 1000.0 / double(total * meters));
    return 0;
}

// Child: the central subscriber, until every meter's file has its readings.
int subscriber(const QString &url, const QString &folder, int meters, qint64 each)
{
    TLabSubscriber sub(parse(url, TLabUrlUse::Subscribe), "bench-lab-central");
    struct TMeterFile
    {
        QFile File;
        TRecordTable Table;
        qint64 Rows = 0;
    };
    QHash<QString, std::shared_ptr<TMeterFile>> files;
    std::vector<double> delays;
    delays.reserve(std::size_t(meters * each));
    qint64 complete = 0;
    QObject::connect(&sub, &TLabSubscriber::ReadingArrived, [&](const TLabReading &r) {
        auto &f = files[r.Serial];
        if (!f) {
            f = std::make_shared<TMeterFile>();
            f->File.setFileName(folder + QStringLiteral("/lab-%1.txt").arg(r.Serial));
            f->File.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f->File.write(TextHeaderLine(TextFileTitles()));
        }
        AppendLabReading(f->Table, r, QStringLiteral(":"));
        QByteArray line;
        AppendTextRow(f->Table, f->Table.RecordCount() - 1, line);
        f->File.write(line);
        f->File.flush();
        delays.push_back(double(QDateTime::currentMSecsSinceEpoch() - r.Time.toMSecsSinceEpoch()));
        if (++f->Rows == each && ++complete == meters)
            QCoreApplication::quit();
    });
    if (!sub.Start())
        qFatal("%s", qPrintable(sub.Error()));
    std::printf("ready\n");
    std::fflush(stdout);
    QCoreApplication::exec();
    std::sort(delays.begin(), delays.end());
    std::printf(
        "subscriber: %lld rows in %lld files, %lld duplicates dropped, delay median %.0f ms, "
        "p99 %.0f ms, max %.0f ms, cpu %.3f s\n",
        static_cast<long long>(delays.size()), static_cast<long long>(files.size()),
        static_cast<long long>(sub.Duplicates()), delays[delays.size() / 2],
        delays[delays.size() * 99 / 100], delays.back(), cpuSeconds());
    return 0;
}

double processCpu(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> f = stat.readAll().split(' ');
    return f.size() > 15 ? (f[13].toDouble() + f[14].toDouble()) / double(sysconf(_SC_CLK_TCK)) : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 5 && args[1] == QLatin1String("publish"))
        return publishers(args[2], args[3].toInt(), args[4].toInt());
    if (args.size() >= 6 && args[1] == QLatin1String("subscribe"))
        return subscriber(args[2], args[3], args[4].toInt(), args[5].toLongLong());

    const int meters = args.size() > 1 ? args[1].toInt() : 50;
    const int seconds = args.size() > 2 ? args[2].toInt() : 60;
    const qint64 each = qint64(seconds * ReadingsPerSecond);
    TMosquittoBroker broker(QStringLiteral("allow_anonymous true\nmax_queued_messages 0"));
    if (!broker.Start())
        qFatal("mosquitto did not start: %s", qPrintable(broker.Log()));
    QTemporaryDir out;
    QProcess central;
    central.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    central.start(app.applicationFilePath(), {"subscribe", broker.Url("bench/#"), out.path(),
                                              QString::number(meters), QString::number(each)});
    central.waitForReadyRead(30000); // "ready"
    QTest::qWait(1000);              // its subscription is in place
    QProcess meterProcess;
    meterProcess.setProcessChannelMode(QProcess::ForwardedChannels);
    std::printf("%d meters x %.0f readings/s for %d s into one broker and one subscriber\n", meters,
                ReadingsPerSecond, seconds);
    std::fflush(stdout);
    meterProcess.start(
        app.applicationFilePath(),
        {"publish", broker.Url("bench"), QString::number(meters), QString::number(seconds)});
    meterProcess.waitForFinished(-1);
    central.waitForFinished(std::max(60000, seconds * 2000));
    std::printf("%s", central.readAllStandardOutput().replace("ready\n", "").constData());
    std::printf("broker: cpu %.3f s\n", processCpu(broker.Pid()));
    qint64 rows = 0;
    for (const QString &name : QDir(out.path()).entryList(QDir::Files)) {
        QFile f(out.filePath(name));
        f.open(QIODevice::ReadOnly);
        rows += f.readAll().count('\n') - 1;
    }
    std::printf("recorded %lld, rows in the central files %lld\n",
                static_cast<long long>(each * meters), static_cast<long long>(rows));
    return rows == each * meters ? 0 : 1;
}
