// The record tool bar's Save and Open buttons in the real window: the file dialogs as a user
// answers them, the notices, a recording from the simulated meter saved, cleared and opened
// again, and a table of millions of rows saved and opened while the window stays live.
#include "../support/heldsave.h"
#include "../support/modalhelper.h"
#include "../support/recordrows.h"
#include "../support/simbridge.h"
#include "../support/statehome.h"
#include "../support/testfiles.h"
#include "../support/windowfeed.h"

#include "tcp2110.h"
#include "tframeencoder.h"
#include "tfrmmain.h"
#include "trecordfiles.h"
#include "trecordtable.h"
#include "tsavestagehook.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <ctime>
#endif

using namespace ModalHelper;

namespace {

struct Notice
{
    bool shown = false;
    QString caption;
    QString text;
};

// Answers a notice with OK, remembering what it said.
std::function<void(QWidget *)> answerNotice(Notice &notice)
{
    return [&notice](QWidget *dialog) {
        notice.shown = true;
        notice.caption = dialog->windowTitle();
        if (auto *label = dialog->findChild<QLabel *>(QStringLiteral("Message")))
            notice.text = label->text();
        if (auto *ok = dialog->findChild<QPushButton *>(QStringLiteral("OK")))
            QTest::mouseClick(ok, Qt::LeftButton);
        else
            dialog->close();
    };
}

// Answers the next file dialog by typing a name (a full path: a dialog starts in the folder
// the last one ended in) and Return, as a user would (an empty name
// cancels it). inspect sees the dialog first; onTop answers what opens over it (the replace
// question); then runs once the dialog has taken the name, to arm what answers the notice. A
// dialog that refused the name is cancelled.
void answerFileDialog(const QString &fileName, std::function<void(QFileDialog *)> inspect = {},
                      std::function<void(QWidget *)> onTop = {}, std::function<void()> then = {})
{
    onNextModal([=](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog) {
            qWarning() << "not a file dialog:" << modal;
            modal->close();
            return;
        }
        if (inspect)
            inspect(dialog);
        if (fileName.isEmpty()) {
            dialog->reject();
            return;
        }
        if (onTop)
            onNextModal(onTop);
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        edit->setText(fileName);
        QTest::keyClick(edit, Qt::Key_Return);
        if (dialog->isVisible()) {
            dialog->reject();
            return;
        }
        if (then)
            then();
    });
}

// The next window over the main one that is no progress dialog: the notice or message box
// that ends a save or an open.
void onNextMessage(std::function<void(QWidget *)> act)
{
    onNextModalWhere([](QWidget *w) { return !qobject_cast<QProgressDialog *>(w); }, std::move(act),
                     60000);
}

bool progressShown(const QWidget *window)
{
    for (auto *p : window->findChildren<QProgressDialog *>(QStringLiteral("FileProgress")))
        if (p->isVisible())
            return true;
    return false;
}

// Rows put into the window's table in one block, as an open leaves them: a row at a time, the
// grid and the journal would take longer over millions of rows than everything under test.
void fillRows(TRecordTable &target, int rows)
{
    TRecordTable t;
    for (int i = 1; i <= rows; ++i) {
        t.Append();
        t.Fields(TRecordTable::aNO).SetValue(i);
        t.Fields(TRecordTable::aTime)
            .SetAsBytes("2026-12-08 " + QByteArray::number(10 + i / 3600 % 14) + ":"
                        + QByteArray::number(10 + i / 60 % 50) + ":"
                        + QByteArray::number(10 + i % 50));
        for (int f = TRecordTable::aMMode; f < TRecordTable::FieldCount; ++f)
            t.Fields(f).SetAsBytes(f == TRecordTable::aMValue ? QByteArray::number(i % 2000)
                                                              : QByteArray("x"));
        t.Post();
    }
    QCOMPARE(target.AppendRows(t), qsizetype(rows));
}

// Enough rows that the bytes the save makes on the window's thread fill its queue to the
// thread that writes them many times over: were they made in one go rather than a slice at a
// time, the window would stop for a third of a second where a slice holds it for a few
// milliseconds. The save is held before it ends until its progress has shown, so no count of
// rows need make it last. The sanitizers' builds are slower by far, and there the event loop's
// waits are no measure of the program.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int Many = 200'000;
constexpr qint64 LongestHoldMs = 60'000;
#else
constexpr int Many = 600'000;
constexpr qint64 LongestHoldMs = 150;
#endif

// The processor time the calling thread has used. How long the window's thread is held is
// measured by it, not by the clock on the wall: other programs that load the machine stretch
// the wall's time between two turns of the event loop, never the work done between them.
qint64 threadCpuMs()
{
#ifdef Q_OS_WIN
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME &t) {
        return (qint64(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10'000;
    };
    return ticks(kernel) + ticks(user);
#else
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
#endif
}

const QStringList SaveFilters{QStringLiteral("Excel File(*.xls)"),
                              QStringLiteral("XML File(*.xml)"), QStringLiteral("Txt File(*.txt)")};
const QStringList OpenFilters{QStringLiteral("Excel data files (*.xls)"),
                              QStringLiteral("XML data files (*.xml)"),
                              QStringLiteral("notepad data files (*.txt)")};

} // namespace

class TestRecordFileButtons : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void saveDialogAsGiven();
    void openDialogAsGiven();
    void recordingSavedClearedAndOpenedAgain_data();
    void recordingSavedClearedAndOpenedAgain();
    void existingFileIsReplacedOnlyOnYes_data();
    void existingFileIsReplacedOnlyOnYes();
    void failedOpenShowsTheSystemBox();
    void failedSaveTellsTheUser_data();
    void failedSaveTellsTheUser();
    void manyRowsShowProgressAndKeepTheWindowLive();
    void cancelledSaveWritesNothing();
    void quitDuringASaveWaitsForIt();

private:
    QString path(const QString &name) const { return Dir_->filePath(name); }
    void clickSave() { QTest::mouseClick(w->Panel4->btnRecordSave, Qt::LeftButton); }
    void clickOpen() { QTest::mouseClick(w->Panel4->btnRecordOpen, Qt::LeftButton); }
    // Saves through the dialog as the user types the name, and answers the notice.
    Notice saveAs(const QString &name)
    {
        Notice notice;
        answerFileDialog(path(name), {}, {},
                         [&notice] { onNextModal(answerNotice(notice), 60000); });
        clickSave();
        return notice;
    }
    void clearTable()
    {
        pressOnNextModal(QStringLiteral("Yes"));
        QTest::mouseClick(w->Panel4->btnRecordNew, Qt::LeftButton);
        QCOMPARE(t->RecordCount(), qsizetype(0));
    }

    QTemporaryDir State_;
    std::unique_ptr<QTemporaryDir> Dir_;
    SimBridge Sim_;
    TfrmMain *w = nullptr;
    TRecordTable *t = nullptr;
};

void TestRecordFileButtons::initTestCase()
{
    // Nothing of these tests reaches the user's own files.
    QVERIFY(State_.isValid());
    qputenv(StateHomeVariable, State_.path().toUtf8());
}

void TestRecordFileButtons::init()
{
    QCOMPARE(Sim_.Reset(), HID_UART_SUCCESS);
    Dir_ = std::make_unique<QTemporaryDir>();
    w = new TfrmMain(TStartOptions{.Simulate = true});
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    t = w->findChild<TRecordTable *>(QStringLiteral("cds1"));
    QVERIFY(t);
}

void TestRecordFileButtons::cleanup()
{
    delete w;
    w = nullptr;
    Dir_.reset();
}

void TestRecordFileButtons::saveDialogAsGiven()
{
    QStringList filters;
    QString selected, suffix, suffixForXml;
    bool nonNative = false, saves = false;
    answerFileDialog(QString(), [&](QFileDialog *d) {
        filters = d->nameFilters();
        selected = d->selectedNameFilter();
        suffix = d->defaultSuffix();
        nonNative = d->testOption(QFileDialog::DontUseNativeDialog);
        saves = d->acceptMode() == QFileDialog::AcceptSave;
        // As the system's dialog does: the extension follows the files the user looks at.
        auto *types = d->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        QTest::keyClick(types, Qt::Key_Down); // "XML File(*.xml)"
        suffixForXml = d->defaultSuffix();
    });
    clickSave();
    QCOMPARE(filters, SaveFilters);
    QCOMPARE(selected, SaveFilters[0]);
    QCOMPARE(suffix, QStringLiteral("xls"));
    QCOMPARE(suffixForXml, QStringLiteral("xml"));
    QVERIFY(nonNative);
    // It asks before replacing a file: existingFileIsReplacedOnlyOnYes.
    QVERIFY(saves);
    QVERIFY(!QApplication::activeModalWidget()); // cancelled: no notice, nothing written
    QCOMPARE(entries(Dir_->path()), QStringList());
}

void TestRecordFileButtons::openDialogAsGiven()
{
    QStringList filters;
    QString selected;
    bool opens = false, anyName = false;
    answerFileDialog(QString(), [&](QFileDialog *d) {
        filters = d->nameFilters();
        selected = d->selectedNameFilter();
        opens = d->acceptMode() == QFileDialog::AcceptOpen;
        anyName = d->fileMode() == QFileDialog::AnyFile; // the file need not exist
    });
    clickOpen();
    QCOMPARE(filters, OpenFilters);
    QCOMPARE(selected, OpenFilters[0]);
    QVERIFY(opens);
    QVERIFY(anyName);
    QCOMPARE(t->RecordCount(), qsizetype(0));
}

// From the meter through Save, Clear and Open: the same rows are back.
void TestRecordFileButtons::recordingSavedClearedAndOpenedAgain_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::newRow("XML") << "rec.xml"
                         << "rec.xml";
    QTest::newRow("text") << "rec.txt"
                          << "rec.txt";
    QTest::newRow("no extension: .xls") << "rec"
                                        << "rec.xls";
}

void TestRecordFileButtons::recordingSavedClearedAndOpenedAgain()
{
    QFETCH(QString, typed);
    QFETCH(QString, written);
    // The meter's own pace is two frames a second; a recording of a few is all this needs.
    QCOMPARE(Sim_.SetFramePeriod(SimBridge::DefaultSerial, 50), HID_UART_SUCCESS);
    QTest::mouseClick(w->Panel3->btnConnect, Qt::LeftButton);
    QVERIFY(w->CP21101->Connected());
    QTRY_VERIFY_WITH_TIMEOUT(t->RecordCount() >= 4, 60000);
    QTest::mouseClick(w->Panel3->btnConnect, Qt::LeftButton);
    QVERIFY(!w->CP21101->Connected());
    const RecordRows recorded = rowsOf(*t);

    const Notice notice = saveAs(typed);
    QVERIFY(notice.shown);
    QCOMPARE(notice.caption, QStringLiteral("Information"));
    QCOMPARE(notice.text, QStringLiteral("Save table to specified file: ")
                              + QDir::toNativeSeparators(path(written))
                              + QStringLiteral(" Scuss!"));
    QCOMPARE(entries(Dir_->path()), QStringList{written});

    clearTable();
    answerFileDialog(path(written));
    clickOpen();
    QCOMPARE(rowsOf(*t), recorded);
    QCOMPARE(w->Panel4->DBGrid1->model()->rowCount(), int(recorded.size()));
}

void TestRecordFileButtons::existingFileIsReplacedOnlyOnYes_data()
{
    QTest::addColumn<QString>("existing"); // a file there before the save, holding "old"
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written"); // the file the save writes
    QTest::addColumn<QString>("answer");  // to the question; empty: none may be asked
    QTest::newRow("the typed name, Yes") << "rec.xml"
                                         << "rec.xml"
                                         << "rec.xml"
                                         << "Yes";
    QTest::newRow("the typed name, No") << "rec.xml"
                                        << "rec.xml"
                                        << "rec.xml"
                                        << "No";
    QTest::newRow("the name the save writes, Yes") << "data.csv.xls"
                                                   << "data.csv"
                                                   << "data.csv.xls"
                                                   << "Yes";
    QTest::newRow("the name the save writes, No") << "data.csv.xls"
                                                  << "data.csv"
                                                  << "data.csv.xls"
                                                  << "No";
    QTest::newRow("a file the save never touches") << "data.csv"
                                                   << "data.csv"
                                                   << "data.csv.xls"
                                                   << "";
}

void TestRecordFileButtons::existingFileIsReplacedOnlyOnYes()
{
    QFETCH(QString, existing);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(QString, answer);
    QVERIFY(writeFile(path(existing), "old"));
    receive(*w, EncodeFrame(TFrameFields{}));
    QString question;
    Notice notice;
    const bool asked = !answer.isEmpty();
    const bool replaced = answer != QLatin1String("No");
    answerFileDialog(path(typed), {},
                     asked ? std::function<void(QWidget *)>([&](QWidget *box) {
                         auto *mb = qobject_cast<QMessageBox *>(box);
                         question = mb ? mb->text() : QStringLiteral("not a message box");
                         if (mb)
                             QTest::mouseClick(
                                 mb->button(replaced ? QMessageBox::Yes : QMessageBox::No),
                                 Qt::LeftButton);
                         else
                             box->close();
                     })
                           : std::function<void(QWidget *)>(),
                     [&] {
                         if (replaced)
                             onNextMessage(answerNotice(notice));
                     });
    clickSave();
    if (asked)
        QVERIFY2(question.startsWith(written + QLatin1String(" already exists")),
                 qPrintable(question));
    QCOMPARE(notice.shown, replaced);
    QCOMPARE(notice.text.endsWith(QDir::toNativeSeparators(path(written)) + " Scuss!"), replaced);
    const QByteArray bytes = fileBytes(path(written));
    QCOMPARE(bytes == "old", !replaced);
    if (existing != written)
        QCOMPARE(fileBytes(path(existing)), QByteArray("old"));
}

// The system's own box, without an owner, and the rows before the fault stay.
void TestRecordFileButtons::failedOpenShowsTheSystemBox()
{
    {
        QFile bad(path(QStringLiteral("bad.txt")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("NO\tTime\r\n7\tfirst\r\nseven\tsecond\r\n8\tthird\r\n");
    }
    receive(*w, EncodeFrame(TFrameFields{}));
    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QAbstractButton *> buttons;
    bool owned = true;
    answerFileDialog(path(QStringLiteral("bad.txt")), {}, {}, [&] {
        onNextMessage([&](QWidget *box) {
            auto *mb = qobject_cast<QMessageBox *>(box);
            if (!mb) {
                box->close();
                return;
            }
            text = mb->text();
            caption = mb->windowTitle();
            icon = mb->icon();
            buttons = mb->buttons();
            owned = mb->parentWidget() != nullptr;
            QTest::mouseClick(mb->button(QMessageBox::Ok), Qt::LeftButton);
        });
    });
    clickOpen();
    QCOMPARE(text, QStringLiteral("Failed to Load File!"));
    QCOMPARE(caption, QStringLiteral("Error"));
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(buttons.size(), 1);
    QVERIFY(!owned);
    QCOMPARE(t->RecordCount(), qsizetype(2));
    QCOMPARE(t->BytesAt(1, TRecordTable::aTime), QByteArray("first"));
}

// A disk that fills up: the text form's notice, or the XML form's error itself.
void TestRecordFileButtons::failedSaveTellsTheUser_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("text");
    QTest::newRow("text") << "rec.txt"
                          << "Information"
                          << "Could not save table to specified file: %1";
    QTest::newRow("XML") << "rec.xml"
                         << "Error"
                         << "Cannot write file \"%1\". ";
}

void TestRecordFileButtons::failedSaveTellsTheUser()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, text);
    for (int i = 0; i < 300; ++i)
        receive(*w, EncodeFrame(TFrameFields{}));
    Notice notice;
    {
        SKIP_WITHOUT_FILE_SIZE_LIMIT();
        FileSizeLimit limit(4096);
        notice = saveAs(name);
    }
    QVERIFY(notice.shown);
    QCOMPARE(notice.caption, caption);
    QVERIFY2(notice.text.startsWith(text.arg(QDir::toNativeSeparators(path(name)))),
             qPrintable(notice.text));
    QCOMPARE(entries(Dir_->path()), QStringList());
}

// Millions of rows: the progress shows after about half a second with the row count, the
// window's event loop keeps running (its thread is never held for long between two of its
// turns), a second click starts nothing, and the opened rows reach the grid in one insertion.
void TestRecordFileButtons::manyRowsShowProgressAndKeepTheWindowLive()
{
    fillRows(*t, Many);
    QElapsedTimer sinceSave;
    qint64 cpuAtTick = -1, longestHold = 0, progressAfter = -1;
    bool progressSeen = false;
    QString progressLabel;
    HeldSave held;
    QTimer tick;
    tick.setInterval(20);
    connect(&tick, &QTimer::timeout, this, [&] {
        // Let go once its progress is in view: the save lasted as long as the window needed
        // to show it, and the window went on meanwhile.
        if (progressSeen && held.reached())
            held.letGo();
        const qint64 cpu = threadCpuMs();
        if (cpuAtTick >= 0)
            longestHold = std::max(longestHold, cpu - cpuAtTick);
        cpuAtTick = cpu;
        for (auto *p : w->findChildren<QProgressDialog *>(QStringLiteral("FileProgress")))
            if (p->isVisible()) {
                if (!progressSeen && sinceSave.isValid())
                    progressAfter = sinceSave.elapsed();
                progressSeen = true;
                progressLabel = p->labelText();
            }
    });
    tick.start();
    Notice notice;
    answerFileDialog(path(QStringLiteral("big.xml")), {}, {}, [&] {
        sinceSave.start();
        onNextMessage(answerNotice(notice));
    });
    clickSave();
    QVERIFY(notice.shown);
    QVERIFY2(notice.text.endsWith(QLatin1String(" Scuss!")),
             qPrintable(notice.caption + ": " + notice.text));
    QVERIFY2(progressSeen, "a save held for as long as it took showed no progress");
    QVERIFY2(progressLabel.contains(QLocale().toString(Many)), qPrintable(progressLabel));
    // Never before the half second, however slow or loaded the machine.
    QVERIFY2(progressAfter >= 400, qPrintable(QString::number(progressAfter)));
    QVERIFY2(longestHold < LongestHoldMs, qPrintable(QString::number(longestHold)));

    clearTable();
    QSignalSpy inserted(w->Panel4->DBGrid1->model(), &QAbstractItemModel::rowsInserted);
    cpuAtTick = -1;
    longestHold = 0;
    bool clickedDuringOpen = false, secondDialog = false;
    answerFileDialog(path(QStringLiteral("big.xml")));
    // A click on Save once the open runs: ignored. Were it taken, its file dialog would be
    // closed as soon as its loop turns, so the test goes on.
    QTimer whileOpening;
    whileOpening.setInterval(10);
    connect(&whileOpening, &QTimer::timeout, this, [&] {
        if (w->findChildren<QProgressDialog *>(QStringLiteral("FileProgress")).isEmpty())
            return; // the open has not started yet
        whileOpening.stop();
        clickedDuringOpen = true;
        QTimer::singleShot(0, this, [&] {
            if (auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                secondDialog = true;
                d->reject();
            }
        });
        clickSave();
    });
    whileOpening.start();
    clickOpen();
    QVERIFY(clickedDuringOpen);
    QCOMPARE(t->RecordCount(), qsizetype(Many));
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(w->Panel4->DBGrid1->model()->rowCount(), Many);
    QVERIFY(!secondDialog);
    QVERIFY2(longestHold < LongestHoldMs, qPrintable(QString::number(longestHold)));
}

// The progress's Cancel in the save's last moments, its thread held with every byte in the
// temporary file: nothing is written, and the save says so.
void TestRecordFileButtons::cancelledSaveWritesNothing()
{
    fillRows(*t, 1000);
    HeldSave held;
    QTimer poll;
    poll.setInterval(20);
    bool cancelled = false;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (cancelled || !progressShown(w) || !held.reached())
            return;
        cancelled = true;
        auto *progress = w->findChild<QProgressDialog *>(QStringLiteral("FileProgress"));
        QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
        held.letGo();
    });
    poll.start();
    Notice notice;
    answerFileDialog(path(QStringLiteral("big.xml")), {}, {},
                     [&] { onNextMessage(answerNotice(notice)); });
    clickSave();
    QVERIFY(cancelled);
    // Told, as every save is told how it ended.
    QCOMPARE(notice.text, QStringLiteral("Save table to specified file: ")
                              + QDir::toNativeSeparators(path(QStringLiteral("big.xml")))
                              + QStringLiteral(" cancelled; the file was not changed."));
    QCOMPARE(entries(Dir_->path()), QStringList());
}

// Asked to quit in the first moments of a save: the question stays in view (the save's
// progress does not come up over it), and a Yes lets the save end, its progress shown, the
// file written whole and told, before the window closes.
void TestRecordFileButtons::quitDuringASaveWaitsForIt()
{
    fillRows(*t, 1000);
    HeldSave held;
    bool questionOnTop = false, progressUnderQuestion = true, progressAfterYes = false;
    QString question;
    Notice notice;
    QTimer letGo;
    letGo.setInterval(10);
    connect(&letGo, &QTimer::timeout, this, [&] {
        if (progressShown(w) && held.reached()) {
            progressAfterYes = true;
            letGo.stop();
            held.letGo();
        }
    });
    answerFileDialog(path(QStringLiteral("quit.xls")), {}, {}, [&] {
        onNextMessage([&](QWidget *box) {
            if (auto *label = box->findChild<QLabel *>(QStringLiteral("Message")))
                question = label->text();
            // Well past the half second after which a save shows its progress.
            QTest::qWait(800);
            questionOnTop = QApplication::activeModalWidget() == box && box->isVisible();
            progressUnderQuestion = progressShown(w);
            onNextMessage(answerNotice(notice));
            letGo.start();
            QTest::mouseClick(box->findChild<QPushButton *>(QStringLiteral("Yes")), Qt::LeftButton);
        });
        QTimer::singleShot(0, w, [this] { w->close(); });
    });
    clickSave();
    QCOMPARE(question, QStringLiteral("Are you sure that you want to quit this application?"));
    QVERIFY(questionOnTop);
    QVERIFY(!progressUnderQuestion);
    QVERIFY(progressAfterYes);
    QCOMPARE(notice.text, QStringLiteral("Save table to specified file: ")
                              + QDir::toNativeSeparators(path(QStringLiteral("quit.xls")))
                              + QStringLiteral(" Scuss!"));
    QTRY_VERIFY(!w->isVisible());
    TRecordTable back;
    QVERIFY(AnyToCds(path(QStringLiteral("quit.xls")), back, false).Ok);
    QCOMPARE(rowsOf(back), rowsOf(*t));
}

QTEST_MAIN(TestRecordFileButtons)
#include "tst_recordfilebuttons.moc"
