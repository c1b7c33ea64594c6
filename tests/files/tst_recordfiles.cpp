// Saving and opening as the program does it: the names a save writes under, the notices, round
// trips in both forms, bytes of other code pages kept, and saves that fail without harming the
// file they were to replace.
#include "../support/processlimits.h"
#include "../support/recordrows.h"
#include "../support/testfiles.h"

#include "trecordfiles.h"
#include "trecordtable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#ifndef Q_OS_WIN
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

RecordRows recorded(int count)
{
    RecordRows rows;
    for (int i = 1; i <= count; ++i)
        rows << recordRow(QByteArray::number(i),
                          {"2026-12-08 09:05:" + QByteArray::number(10 + i % 50), "Cp",
                           QByteArray::number(100 + i * 0.1, 'f', 1), "nF", "D", "0.012", "",
                           "1KHz"});
    return rows;
}

} // namespace

Q_DECLARE_METATYPE(RecordRows)
Q_DECLARE_METATYPE(TRecordFileForm)

class TestRecordFiles : public QObject
{
    Q_OBJECT

private slots:
    void extension_data();
    void extension();
    void saveNames_data();
    void saveNames();
    void roundTrip_data();
    void roundTrip();
    void otherCodePageSavesBackTheSameBytes_data();
    void otherCodePageSavesBackTheSameBytes();
    void failedWriteKeepsTheOldFile_data();
    void failedWriteKeepsTheOldFile();
    void folderWithoutWritePermissionKeepsTheOldFile();
    void saveToAPlaceThatTakesNoFile_data();
    void saveToAPlaceThatTakesNoFile();
    void textSaveLeavesTheLastRecordCurrent();
    void openFailures_data();
    void openFailures();
    void emptyFirst();
};

void TestRecordFiles::extension_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<TRecordFileForm>("openedAs");
    QTest::newRow("none") << "data"
                          << "" << TRecordFileForm::Text;
    QTest::newRow("lower case") << "data.xml"
                                << ".xml" << TRecordFileForm::Xml;
    QTest::newRow("upper case") << "DATA.XML"
                                << ".xml" << TRecordFileForm::Xml;
    QTest::newRow("only A to Z lowered") << "d.X\u00C0"
                                         << ".x\u00C0" << TRecordFileForm::Text;
    QTest::newRow("last dot") << "a.xml.txt"
                              << ".txt" << TRecordFileForm::Text;
    QTest::newRow("dot in a folder only") << "/tmp/a.xml/data"
                                          << "" << TRecordFileForm::Text;
    QTest::newRow("trailing dot") << "data."
                                  << "." << TRecordFileForm::Text;
    QTest::newRow("hidden file") << "/tmp/.xml"
                                 << ".xml" << TRecordFileForm::Xml;
}

void TestRecordFiles::extension()
{
    QFETCH(QString, name);
    QFETCH(QString, extension);
    QFETCH(TRecordFileForm, openedAs);
    QCOMPARE(RecordFileExtension(name), extension);
    QCOMPARE(OpenFormOf(name), openedAs);
}

// The name a save writes under, its form, and the notice, with nothing else left beside it.
void TestRecordFiles::saveNames_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("xml");
    QTest::newRow("no extension: text as .xls") << "data"
                                                << "data.xls" << false;
    QTest::newRow("another extension: .xls appended") << "data.csv"
                                                      << "data.csv.xls" << false;
    QTest::newRow(".XML: XML under that very name") << "data.XML"
                                                    << "data.XML" << true;
    QTest::newRow(".xml") << "data.xml"
                          << "data.xml" << true;
    QTest::newRow(".TXT: text") << "data.TXT"
                                << "data.TXT" << false;
    QTest::newRow(".Xls: text") << "data.Xls"
                                << "data.Xls" << false;
    QTest::newRow("trailing dot") << "data."
                                  << "data..xls" << false;
    QTest::newRow("dot in the folder") << "sub.d/data"
                                       << "sub.d/data.xls" << false;
}

void TestRecordFiles::saveNames()
{
    QFETCH(QString, given);
    QFETCH(QString, written);
    QFETCH(bool, xml);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("sub.d")));
    TRecordTable table;
    appendRows(table, recorded(2));
    const TSaveOutcome outcome = DBToFiles(table, dir.filePath(given));
    QVERIFY2(outcome.Ok, qPrintable(outcome.Error));
    QCOMPARE(outcome.Target.FileName, dir.filePath(written));
    QCOMPARE(outcome.Target.Form, xml ? TRecordFileForm::Xml : TRecordFileForm::Text);
    QCOMPARE(outcome.Message, QStringLiteral("Save table to specified file: ")
                                  + QDir::toNativeSeparators(dir.filePath(written))
                                  + QStringLiteral(" Scuss!"));
    const QByteArray bytes = fileBytes(dir.filePath(written));
    QVERIFY(bytes.startsWith(xml ? "<?xml " : "NO\tTime\t"));
    QStringList expected{QStringLiteral("sub.d")};
    if (!written.startsWith(QLatin1String("sub.d/")))
        expected << written;
    expected.sort();
    QCOMPARE(entries(dir.path()), expected);
}

// Records saved and opened again come back after the rows already present, as the form keeps
// them.
void TestRecordFiles::roundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<RecordRows>("rows");
    QTest::addColumn<RecordRows>("back");
    QTest::addColumn<bool>("ok");
    const RecordRows many = recorded(5000);
    QTest::newRow("text, 5000 recorded rows") << "rec.txt" << many << many << true;
    QTest::newRow("XML, 5000 recorded rows") << "rec.xml" << many << many << true;
    const RecordRows odd{
        recordRow("-3", {" padded ", "<&>'\"\\", "\xCE\xB8", Null, "", "\x01x", "\xE9", "z"}),
        recordRow("-3", {}), recordRow(Null, {"only time"})};
    QTest::newRow("XML keeps every value, null and number") << "rec.xml" << odd << odd << true;
    QTest::newRow("text trims blanks; nulls come back empty, a null number as an empty piece")
        << "rec.xls" << RecordRows{recordRow("-3", {" padded ", "<&>'\"\\", "\xCE\xB8", Null, ""})}
        << RecordRows{recordRow("-3", {"padded", "<&>'\"\\", "\xCE\xB8", "", "", "", "", ""})}
        << true;
    QTest::newRow("text: a value holding a TAB makes a line of ten pieces")
        << "rec.txt" << RecordRows{recordRow("1", {"a"}), recordRow("2", {"b\tc"})}
        << RecordRows{recordRow("1", {"a", "", "", "", "", "", "", ""})} << false;
    QTest::newRow("XML: a TAB survives") << "rec.xml" << RecordRows{recordRow("2", {"b\tc"})}
                                         << RecordRows{recordRow("2", {"b\tc"})} << true;
    QTest::newRow("text: a null number cannot be read back")
        << "rec.txt" << RecordRows{recordRow(Null, {"a"})} << RecordRows{} << false;
}

void TestRecordFiles::roundTrip()
{
    QFETCH(QString, name);
    QFETCH(RecordRows, rows);
    QFETCH(RecordRows, back);
    QFETCH(bool, ok);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    TRecordTable saved;
    appendRows(saved, rows);
    QVERIFY(DBToFiles(saved, path).Ok);

    TRecordTable table;
    const RecordRows present{recordRow("1", {"present"}), recordRow("2", {"rows"})};
    appendRows(table, present);
    const TOpenOutcome outcome = AnyToCds(path, table, false);
    QCOMPARE(outcome.Ok, ok);
    QCOMPARE(outcome.Appended, qsizetype(back.size()));
    QCOMPARE(rowsOf(table).mid(0, 2), present);
    QCOMPARE(rowsOf(table, 2), back);
}

// A file made on a system with another 8-bit code page opens and saves back the same bytes.
void TestRecordFiles::otherCodePageSavesBackTheSameBytes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("text")
        << "latin1.txt"
        << QByteArray("NO\tTime\tMMode\tMValue\tMUnit\tSMode\tSValue\tSUnit\tFreq\r\n"
                      "1\t2026-12-08 09:05:07\tRs\t4.7\tk\xD8\t\xE9t\xE9\t\xB5\t\xB0\t1KHz\r\n"
                      "2\t\t\t\t\t\t\t\t\xFF\r\n");
    QTest::newRow("XML")
        << "latin1.xml"
        << QByteArray("<?xml version=\"1.0\" standalone=\"yes\"?>  "
                      "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
                      "<FIELD attrname=\"aNO\" fieldtype=\"i4\"/>"
                      "<FIELD attrname=\"aTime\" fieldtype=\"string\" WIDTH=\"20\"/>"
                      "<FIELD attrname=\"aMMode\" fieldtype=\"string\" WIDTH=\"20\"/>"
                      "<FIELD attrname=\"aMValue\" fieldtype=\"string\" WIDTH=\"20\"/>"
                      "<FIELD attrname=\"aMUnit\" fieldtype=\"string\" WIDTH=\"20\"/>"
                      "<FIELD attrname=\"aSMode\" fieldtype=\"string\" WIDTH=\"20\"/>"
                      "<FIELD attrname=\"aSValue\" fieldtype=\"string\" WIDTH=\"20\"/>"
                      "<FIELD attrname=\"aSUnit\" fieldtype=\"string\" WIDTH=\"20\"/>"
                      "<FIELD attrname=\"aFreq\" fieldtype=\"string\" WIDTH=\"20\"/>"
                      "</FIELDS><PARAMS CHANGE_LOG=\"1 0 4\"/></METADATA><ROWDATA>"
                      "<ROW RowState=\"4\" aNO=\"1\" aMUnit=\"k\xD8\" aSMode=\"\xE9t\xE9\" "
                      "aSUnit=\"\xB0&amp;\xB5\"/></ROWDATA></DATAPACKET>");
}

void TestRecordFiles::otherCodePageSavesBackTheSameBytes()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(name), bytes));
    TRecordTable table;
    const TOpenOutcome opened = AnyToCds(dir.filePath(name), table, false);
    QVERIFY2(opened.Ok, qPrintable(opened.Error));
    QVERIFY(table.RecordCount() > 0);
    QVERIFY(DBToFiles(table, dir.filePath(QStringLiteral("again.") + name.section('.', -1))).Ok);
    QCOMPARE(fileBytes(dir.filePath(QStringLiteral("again.") + name.section('.', -1))), bytes);
}

// A write that fails part way (here at a file size limit, as on a full disk) leaves the old
// file as it was, leaves no temporary file behind, and tells the user.
void TestRecordFiles::failedWriteKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("rows");
    QTest::newRow("text") << "rec.xls" << 3000;
    QTest::newRow("XML") << "rec.xml" << 3000;
    QTest::newRow("text, a little past the limit") << "rec.txt" << 120;
    QTest::newRow("XML, a little past the limit") << "rec.xml" << 30;
}

void TestRecordFiles::failedWriteKeepsTheOldFile()
{
    QFETCH(QString, name);
    QFETCH(int, rows);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const QByteArray old = "the old file\r\n";
    QVERIFY(writeFile(path, old));
    TRecordTable table;
    appendRows(table, recorded(rows));
    TSaveOutcome outcome;
    {
        SKIP_WITHOUT_FILE_SIZE_LIMIT();
        FileSizeLimit limit(4096);
        outcome = DBToFiles(table, path);
    }
    QVERIFY(!outcome.Ok);
    QCOMPARE(fileBytes(path), old);
    QCOMPARE(entries(dir.path()), QStringList{name});
    if (outcome.Target.Form == TRecordFileForm::Text) {
        QCOMPARE(outcome.Message, QStringLiteral("Could not save table to specified file: ")
                                      + QDir::toNativeSeparators(path));
    } else {
        // The error itself: what failed and the system's reason.
        QVERIFY2(
            outcome.Message.startsWith(
                QStringLiteral("Cannot write file \"%1\". ").arg(QDir::toNativeSeparators(path))),
            qPrintable(outcome.Message));
        QVERIFY2(outcome.Message.contains(QLatin1String("large"), Qt::CaseInsensitive),
                 qPrintable(outcome.Message));
    }
}

// A folder the user may not write to fails the save even when the old file itself is
// writable: it is never rewritten in place. Root may write anywhere, so the save then runs in
// a child process as an ordinary user.
void TestRecordFiles::folderWithoutWritePermissionKeepsTheOldFile()
{
#ifdef Q_OS_WIN
    QSKIP("a folder's write permission is POSIX's; Windows keeps it in access lists");
#else
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("locked")));
    const QString folder = dir.filePath(QStringLiteral("locked"));
    const QString path = folder + QStringLiteral("/rec.xml");
    const QByteArray old = "the old file\r\n";
    QVERIFY(writeFile(path, old));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                            | QFileDevice::ReadOther | QFileDevice::WriteOther
                                            | QFileDevice::ReadGroup | QFileDevice::WriteGroup));
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                  | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                                  | QFileDevice::ExeOther));
    QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner
                                              | QFileDevice::ReadOther | QFileDevice::ExeOther));
    TRecordTable table;
    appendRows(table, recorded(10));
    auto save = [&] {
        const TSaveOutcome o = DBToFiles(table, path);
        return !o.Ok
               && o.Message.startsWith(QStringLiteral("Cannot create file \"%1\". ")
                                           .arg(QDir::toNativeSeparators(path)));
    };
    bool failedAsItShould = false;
    if (geteuid() == 0) {
        const pid_t child = fork();
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(2);
            _exit(save() ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        failedAsItShould = true;
    } else {
        failedAsItShould = save();
    }
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(failedAsItShould);
    QCOMPARE(fileBytes(path), old);
    QCOMPARE(entries(folder), QStringList{QStringLiteral("rec.xml")});
#endif
}

void TestRecordFiles::saveToAPlaceThatTakesNoFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("text into a missing folder") << "missing/rec.txt"
                                                << "Could not save table to specified file: %1";
    QTest::newRow("XML into a missing folder") << "missing/rec.xml"
                                               << "Cannot create file \"%1\".";
    QTest::newRow("XML over a folder") << "folder.xml"
                                       << "Cannot create file \"%1\".";
}

void TestRecordFiles::saveToAPlaceThatTakesNoFile()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.xml")));
    TRecordTable table;
    appendRows(table, recorded(1));
    const TSaveOutcome outcome = DBToFiles(table, dir.filePath(name));
    QVERIFY(!outcome.Ok);
    QVERIFY(!outcome.Error.isEmpty());
    QVERIFY2(outcome.Message.startsWith(message.arg(QDir::toNativeSeparators(dir.filePath(name)))),
             qPrintable(outcome.Message));
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("folder.xml")});
}

void TestRecordFiles::textSaveLeavesTheLastRecordCurrent()
{
    QTemporaryDir dir;
    TRecordTable table;
    appendRows(table, recorded(5));
    QVERIFY(table.MoveTo(1));
    QVERIFY(DBToFiles(table, dir.filePath(QStringLiteral("rec.xml"))).Ok);
    QCOMPARE(table.RecNo(), qsizetype(1));
    QVERIFY(DBToFiles(table, dir.filePath(QStringLiteral("rec.txt"))).Ok);
    QCOMPARE(table.RecNo(), qsizetype(4));
}

void TestRecordFiles::openFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("error");
    // The system's reason, which the caller puts after the file's name.
    QTest::newRow("missing text file") << "none.txt" << noSuchFileReason();
    QTest::newRow("missing XML file") << "none.xml" << noSuchFileReason();
    QTest::newRow("a folder") << "folder.xls" << isAFolderReason();
    QTest::newRow("empty text file") << "empty.txt"
                                     << "no line";
    QTest::newRow("empty XML file") << "empty.xml"
                                    << "ends before";
}

void TestRecordFiles::openFailures()
{
    QFETCH(QString, name);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.xls")));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("empty.txt")), {}));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("empty.xml")), {}));
    TRecordTable table;
    appendRows(table, recorded(2));
    const TOpenOutcome outcome = AnyToCds(dir.filePath(name), table, false);
    QVERIFY(!outcome.Ok);
    QVERIFY2(outcome.Error.contains(error), qPrintable(outcome.Error));
    QCOMPARE(outcome.Appended, qsizetype(0));
    QCOMPARE(rowsOf(table), recorded(2));
    QCOMPARE(QByteArray(OpenFailedMessage), QByteArray("Failed to Load File!"));
}

void TestRecordFiles::emptyFirst()
{
    QTemporaryDir dir;
    TRecordTable table;
    appendRows(table, recorded(3));
    const QString path = dir.filePath(QStringLiteral("rec.xml"));
    QVERIFY(DBToFiles(table, path).Ok);
    QVERIFY(AnyToCds(path, table, true).Ok);
    QCOMPARE(rowsOf(table), recorded(3));
    QVERIFY(AnyToCds(path, table, false).Ok);
    QCOMPARE(table.RecordCount(), qsizetype(6));
}

QTEST_GUILESS_MAIN(TestRecordFiles)
#include "tst_recordfiles.moc"
