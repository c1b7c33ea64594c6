// The main window's serial port, live on a pseudo-terminal.
#include "../support/frames.h"
#include "../support/pty.h"
#include "../support/statehome.h"
#include "../support/windowfeed.h"
#include "tccomm.h"
#include "tfrmmain.h"
#include "tlcdpanel.h"

#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

// Descriptors of this process open on the named device, also once its node is gone.
int openOn(const QString &device)
{
    int n = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        const QString target = QFileInfo(fds.filePath(fd)).symLinkTarget();
        n += target == device || target == device + QStringLiteral(" (deleted)");
    }
    return n;
}

} // namespace

class TestSerialPort : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void heldClosedOnCOM1();
    void framesReachThePanel();
    void hangUpLeavesTheWindowAlive();
    void closingTheWindowReleasesAnOpenPort();

private:
    // Opens the window's serial port on the pseudo-terminal and counts what it delivers.
    void openOnPty();

    QTemporaryDir state_;
    std::unique_ptr<TfrmMain> w;
    std::unique_ptr<TPty> pty;
    int blocks = 0;
};

void TestSerialPort::initTestCase()
{
    QVERIFY(state_.isValid());
    qputenv(StateHomeVariable, state_.path().toLocal8Bit());
}

void TestSerialPort::init()
{
    w = std::make_unique<TfrmMain>();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    pty = std::make_unique<TPty>();
    QVERIFY(pty->IsOpen());
    blocks = 0;
}

void TestSerialPort::cleanup()
{
    w.reset();
    pty.reset();
}

void TestSerialPort::openOnPty()
{
    connect(w->CComm1, &TCComm::OnReceiveData, this, [this] { ++blocks; });
    w->CComm1->SetCommPort(pty->Name);
    w->CComm1->Open();
    QVERIFY(w->CComm1->Connected());
}

void TestSerialPort::heldClosedOnCOM1()
{
    QCOMPARE(w->findChild<TCComm *>(QStringLiteral("CComm1")), w->CComm1);
    QCOMPARE(w->CComm1->CommPort(), QStringLiteral("COM1"));
    QCOMPARE(w->CComm1->BaudRate(), TCComm::CBR_9600);
    QVERIFY(!w->CComm1->Connected());
}

void TestSerialPort::framesReachThePanel()
{
    openOnPty();
    auto *reading = w->pnlLcd->findChild<QLineEdit *>(QStringLiteral("lcdMDisp"));
    auto *lit = w->pnlLcd->findChild<QWidget *>(QStringLiteral("CONok"));
    QVERIFY(reading && lit);
    QVERIFY(lit->isHidden());
    // Extracted at once even while the sampling interval runs, and the bridge's silence
    // watchdog is not the serial port's business.
    w->timerInterval->setInterval(3600 * 1000);
    w->timerInterval->start();
    QVERIFY(pty->Write(WorkedFrame.left(7)));
    QTRY_COMPARE(blocks, 1);
    QVERIFY(reading->text().trimmed().isEmpty());
    QVERIFY(pty->Write(WorkedFrame.mid(7)));
    const QString expected = w->DecimalSep() == "," ? "123,4" : "123.4";
    QTRY_COMPARE(w->Decoder().State().MainText, expected);
    QCOMPARE(reading->text().trimmed(), expected);
    QVERIFY(w->Decoder().RxText().isEmpty());
    QVERIFY(!w->timerDisconectedUSB->isActive());
    // Every block flips the link-activity picture.
    QCOMPARE(lit->isHidden(), blocks % 2 == 0);
    w->timerInterval->stop();
}

void TestSerialPort::hangUpLeavesTheWindowAlive()
{
    openOnPty();
    QVERIFY(pty->Write(WorkedFrame));
    QTRY_VERIFY(!w->Decoder().State().MainText.isEmpty());
    pty->HangUp();
    QTest::qWait(300);
    QVERIFY(w->isVisible());
    w->CComm1->Close();
    QVERIFY(!w->CComm1->Connected());
    QCOMPARE(openOn(pty->Name), 1); // the test's own view of the line only
    // The window goes on with the bridge's path.
    TFrameFields f = workedFields();
    f.MainValue = 4321;
    receive(*w, EncodeFrame(f));
    QCOMPARE(w->Decoder().State().MainValue, 4321);
}

void TestSerialPort::closingTheWindowReleasesAnOpenPort()
{
    openOnPty();
    QCOMPARE(openOn(pty->Name), 2);
    QVERIFY(pty->Write(WorkedFrame));
    QTRY_COMPARE(blocks, 1);
    QVERIFY(pty->Write(WorkedFrame)); // may still be on its way while the window goes
    w.reset();
    QCOMPARE(openOn(pty->Name), 1);
}

QTEST_MAIN(TestSerialPort)
#include "tst_serialport.moc"
