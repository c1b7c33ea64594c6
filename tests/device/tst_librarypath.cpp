// Where the program finds its bridge library: its own folder, else the install's library folder.
#include "thiduartlibrary.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestLibraryPath : public QObject
{
    Q_OBJECT

private slots:
    void locate_data()
    {
        QTest::addColumn<bool>("beside");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("found");
        QTest::newRow("build tree: beside the program") << true << false << "bin";
        QTest::newRow("install: its library folder") << false << true << "lib";
        QTest::newRow("both: the program's folder wins") << true << true << "bin";
        QTest::newRow("neither: named beside the program") << false << false << "bin";
    }
    void locate()
    {
        QFETCH(bool, beside);
        QFETCH(bool, installed);
        QFETCH(QString, found);
        QTemporaryDir prefix;
        QVERIFY(prefix.isValid());
        const QDir root(prefix.path());
        const QString bin = root.filePath("bin");
        const QString lib = QDir::cleanPath(bin + "/" LUMETRA_INSTALLED_LIBRARY_DIR);
        // The library folder lies outside the program's folder, or the two rows would not differ.
        QVERIFY(!lib.startsWith(bin));
        QVERIFY(QDir().mkpath(bin) && QDir().mkpath(lib));
        const QString file = QStringLiteral("libSLABHIDtoUART.so");
        if (beside)
            QVERIFY(QFile(QDir(bin).filePath(file)).open(QIODevice::WriteOnly));
        if (installed)
            QVERIFY(QFile(QDir(lib).filePath(file)).open(QIODevice::WriteOnly));
        const QString expected = QDir(found == "bin" ? bin : lib).filePath(file);
        QCOMPARE(THidUartLibrary::Locate(bin, file), expected);
        // The same with the trailing separator an application folder may carry.
        QCOMPARE(QDir::cleanPath(THidUartLibrary::Locate(bin + "/", file)), expected);
    }
};

QTEST_GUILESS_MAIN(TestLibraryPath)
#include "tst_librarypath.moc"
