#include "tfrmmain.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumetra"));
    QApplication::setApplicationVersion(QStringLiteral("1.01"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Companion program of the Lumetra LCR meter"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption simulate(QStringLiteral("simulate"),
                                      QStringLiteral("Talk to a built-in virtual meter instead of "
                                                     "the USB cable."));
    parser.addOption(simulate);
    parser.process(app);

    TStartOptions options;
    options.Simulate = parser.isSet(simulate);
    TfrmMain frmMain(options);
    frmMain.show();
    return app.exec();
}
