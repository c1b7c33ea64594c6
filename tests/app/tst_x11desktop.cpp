// The windows on a real X server with a window manager that frames them: centred by their outer
// size once the frame is known (the save's dialogs on the window they belong to), and the
// enlarged view's empty title empty on the screen too.
// Runs under xvfb-run; starts openbox itself.
#include "../support/heldsave.h"
#include "../support/modalhelper.h"
#include "../support/statehome.h"
#include "../support/testfiles.h"

#include "newmessagedlg.h"
#include "tfrmmain.h"
#include "trecordtable.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWindow>
#include <QtTest>

using namespace ModalHelper;

namespace {

bool framed(const QWidget *w)
{
    return w->windowHandle() && !w->windowHandle()->frameMargins().isNull();
}

// How far the window's outer rectangle is from being centred on the area, once it is framed.
QString offCentre(const QWidget *w, const QRect &area)
{
    QElapsedTimer clock;
    clock.start();
    QPoint off;
    while (clock.elapsed() < 10'000) {
        const QRect outer = w->frameGeometry();
        off = (outer.topLeft() + QPoint(outer.width() / 2, outer.height() / 2))
              - (area.topLeft() + QPoint(area.width() / 2, area.height() / 2));
        if (framed(w) && off.manhattanLength() <= 1)
            return QString();
        QTest::qWait(20);
    }
    return QStringLiteral("%1 off centre by %2, %3 (frame %4)")
        .arg(w->objectName())
        .arg(off.x())
        .arg(off.y())
        .arg(framed(w) ? QStringLiteral("known") : QStringLiteral("unknown"));
}

// The title the window manager shows, as the window carries it.
QString netWmName(const QWidget *w)
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(w->winId()),
                                          QStringLiteral("_NET_WM_NAME")});
    xprop.waitForFinished(10'000);
    return QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
}

} // namespace

class TestX11Desktop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void windowsAreCentredByTheirFrame();
    void saveDialogsAreCentredOnTheirWindow();
    void enlargedViewHasNoTitleOnScreen();

private:
    TTemporaryStateHome State_;
    QProcess WindowManager_;
};

void TestX11Desktop::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server");
    if (QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
        QSKIP("needs openbox and xprop");
    WindowManager_.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    QVERIFY(WindowManager_.waitForStarted());
    // The window manager is up once it frames a window.
    QWidget probe;
    probe.resize(100, 100);
    probe.show();
    QTRY_VERIFY_WITH_TIMEOUT(framed(&probe), 20'000);
}

void TestX11Desktop::cleanupTestCase()
{
    if (WindowManager_.state() != QProcess::NotRunning) {
        WindowManager_.terminate();
        WindowManager_.waitForFinished(5'000);
    }
}

void TestX11Desktop::windowsAreCentredByTheirFrame()
{
    TfrmMain w;
    w.show();
    const QString mainOff = offCentre(&w, w.screen()->availableGeometry());

    QString dialogOff = QStringLiteral("no dialog");
    onNextModal([&](QWidget *dialog) {
        dialogOff = offCentre(dialog, dialog->screen()->geometry());
        dialog->close();
    });
    NewMessageDlg(QStringLiteral("Centred by its frame"), mtInformation, MsgDlgButtons({mbOK}), 0);

    QVERIFY2(mainOff.isEmpty(), qPrintable(mainOff));
    QVERIFY2(dialogOff.isEmpty(), qPrintable(dialogOff));
}

// Saving over a file: the file dialog on the main window, the replace question on the file
// dialog, and the save's progress on the main window again.
void TestX11Desktop::saveDialogsAreCentredOnTheirWindow()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("data.csv.xls")), "old"));
    TfrmMain w(TStartOptions{.Journal = false});
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *table = w.findChild<TRecordTable *>(QStringLiteral("cds1"));
    QVERIFY(table);
    for (int i = 1; i <= 10; ++i) {
        table->Append();
        table->Fields(TRecordTable::aNO).SetValue(i);
        table->Post();
    }
    HeldSave held;
    QString dialogOff = QStringLiteral("no file dialog"),
            questionOff = QStringLiteral("no question");
    QString progressOff = QStringLiteral("no progress");
    onNextModal([&](QWidget *dialog) {
        dialogOff = offCentre(dialog, w.frameGeometry());
        onNextModal([&, dialog](QWidget *question) {
            questionOff = offCentre(question, dialog->frameGeometry());
            if (auto *box = qobject_cast<QMessageBox *>(question))
                QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
            else
                question->close();
        });
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        edit->setText(dir.filePath(QStringLiteral("data.csv")));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    // The progress shows while the save is held; the notice that ends it is closed.
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *progress = w.findChild<QProgressDialog *>(QStringLiteral("FileProgress"));
        if (!progress || !progress->isVisible() || !held.reached())
            return;
        poll.stop();
        progressOff = offCentre(progress, w.frameGeometry());
        onNextModalWhere([](QWidget *m) { return !qobject_cast<QProgressDialog *>(m); },
                         [](QWidget *notice) { notice->close(); });
        held.letGo();
    });
    poll.start();
    QTest::mouseClick(w.Panel4->btnRecordSave, Qt::LeftButton);
    QVERIFY2(dialogOff.isEmpty(), qPrintable(dialogOff));
    QVERIFY2(questionOff.isEmpty(), qPrintable(questionOff));
    QVERIFY2(progressOff.isEmpty(), qPrintable(progressOff));
    QCOMPARE(fileBytes(dir.filePath(QStringLiteral("data.csv.xls"))).left(3), QByteArray("NO\t"));
}

void TestX11Desktop::enlargedViewHasNoTitleOnScreen()
{
    TfrmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QString mainName = netWmName(&w);
    QString viewName = QStringLiteral("no view");
    QString viewTitle;
    onNextModal([&](QWidget *view) {
        viewTitle = view->windowTitle();
        viewName = netWmName(view);
        view->close();
    });
    QTest::mouseClick(w.Panel4->btnRecordFly, Qt::LeftButton);
    QCOMPARE(mainName, QStringLiteral("_NET_WM_NAME(UTF8_STRING) = \"Lumetra v1.01\""));
    QCOMPARE(viewTitle, QString());
    // Set, and empty: xprop prints nothing after the "=" (trimmed here).
    QCOMPARE(viewName, QStringLiteral("_NET_WM_NAME(UTF8_STRING) ="));
}

QTEST_MAIN(TestX11Desktop)
#include "tst_x11desktop.moc"
