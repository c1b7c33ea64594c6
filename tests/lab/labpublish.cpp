// A meter's publisher on its own, for the tests that kill it: publishes a reading every 50 ms
// to the broker given, with its status "online", until it is killed.

#include "../support/labsample.h"
#include "tlabpublisher.h"
#include "tlaburl.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString error;
    const auto url =
        args.size() == 3 ? ParseLabUrl(args[1], TLabUrlUse::Publish, &error) : std::nullopt;
    if (!url) {
        std::fprintf(stderr, "usage: labpublish URL SERIAL (%s)\n", qPrintable(error));
        return 1;
    }
    TLabPublisher publisher(*url, args[2]);
    if (!publisher.Start()) {
        std::fprintf(stderr, "%s\n", qPrintable(publisher.Error()));
        return 2;
    }
    publisher.SetMeterOnline(true);
    qint32 number = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout,
                     [&] { publisher.Publish(SampleLabReading(args[2], ++number)); });
    timer.start(50);
    return app.exec();
}
