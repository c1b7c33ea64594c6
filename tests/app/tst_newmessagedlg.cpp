#include "newmessagedlg.h"

#include "../support/modalhelper.h"

#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <algorithm>
#include <memory>

using ModalHelper::onNextModal;

namespace {

// The dialog's proportions, derived from its font the way every message box of the program
// must derive them.
struct Metrics
{
    int cx, cy, hm, vm, hs, vs, bw, bh, bs;
};

int mulDiv(int a, int b, int c)
{
    return (a * b + c / 2) / c;
}

Metrics metricsOf(const QFont &font)
{
    const QFontMetrics fm(font);
    Metrics m{};
    m.cx =
        fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"))
        / 52;
    m.cy = fm.height();
    m.hm = mulDiv(8, m.cx, 4);
    m.vm = mulDiv(8, m.cy, 8);
    m.hs = mulDiv(10, m.cx, 4);
    m.vs = mulDiv(10, m.cy, 8);
    m.bw = mulDiv(50, m.cx, 4);
    m.bh = mulDiv(14, m.cy, 8);
    m.bs = mulDiv(4, m.cx, 4);
    return m;
}

std::unique_ptr<TMessageForm> build(const QString &msg, TMsgDlgType type, TMsgDlgButtons set)
{
    return std::unique_ptr<TMessageForm>(BuildMessageForm(msg, type, set));
}

// Push buttons left to right.
QList<QPushButton *> buttonRow(const QWidget *form)
{
    QList<QPushButton *> row = form->findChildren<QPushButton *>();
    std::sort(row.begin(), row.end(),
              [](const QPushButton *a, const QPushButton *b) { return a->x() < b->x(); });
    return row;
}

int liveForms()
{
    const QWidgetList all = QApplication::topLevelWidgets();
    return int(std::count_if(all.cbegin(), all.cend(),
                             [](QWidget *w) { return qobject_cast<TMessageForm *>(w); }));
}

const QByteArray divider = "---------------------------\r\n";

enum Action { PressEnter, PressEscape, CloseBox, Click };

} // namespace

class TestNewMessageDlg : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void buttonWidthCacheFilledOnceAndReused(); // first: it needs buttons no dialog has shown
    void answers_data();
    void answers();
    void actionsThatDoNotClose_data();
    void actionsThatDoNotClose();
    void copyKey_data();
    void copyKey();
    void longMessageWrapsAtHalfTheScreen();
    void shortMessageIsAsWideAsTheButtonRow_data();
    void shortMessageIsAsWideAsTheButtonRow();
    void captionIconAndBlockHeight_data();
    void captionIconAndBlockHeight();
    void buttonsInBitOrder_data();
    void buttonsInBitOrder();
    void position_data();
    void position();
    void rightToLeftTextStaysClearOfIcon();
};

void TestNewMessageDlg::initTestCase()
{
    QVERIFY(QGuiApplication::primaryScreen());
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Lumetra under test"));
}

void TestNewMessageDlg::buttonWidthCacheFilledOnceAndReused()
{
    QCOMPARE(ButtonWidthCache()[mbNoToAll], 0);
    QCOMPARE(ButtonWidthCache()[mbYesToAll], 0);

    auto form = build(QStringLiteral("x"), mtCustom, MsgDlgButtons({mbOK, mbNoToAll}));
    const QFontMetrics fm(form->font());
    const int measured = fm.size(Qt::TextShowMnemonic, QStringLiteral("N&o to All")).width() + 8;
    QCOMPARE(ButtonWidthCache()[mbNoToAll], measured);
    QCOMPARE(ButtonWidthCache()[mbYesToAll], 0); // not shown, not measured
    const int bw = std::max({metricsOf(form->font()).bw, measured, ButtonWidthCache()[mbOK]});
    for (QPushButton *b : buttonRow(form.get()))
        QCOMPARE(b->width(), bw);

    // A much larger font later must not re-measure: the first width stays for the whole run.
    const QFont oldFont = QApplication::font();
    QFont big = oldFont;
    big.setPointSizeF(oldFont.pointSizeF() * 4);
    QApplication::setFont(big);
    auto bigForm = build(QStringLiteral("x"), mtCustom, MsgDlgButtons({mbNoToAll}));
    const bool followedFont = bigForm->font().pointSizeF() == big.pointSizeF();
    const int bigBw = metricsOf(bigForm->font()).bw;
    const int cachedAfter = ButtonWidthCache()[mbNoToAll];
    const int bigButtonWidth =
        bigForm->findChild<QPushButton *>(QStringLiteral("NoToAll"))->width();
    QApplication::setFont(oldFont);
    if (!followedFont)
        QSKIP("the platform theme fixes the message font; cannot change it here");
    QCOMPARE(cachedAfter, measured);
    QCOMPARE(bigButtonWidth, std::max(bigBw, measured));
}

void TestNewMessageDlg::answers_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("expected");

    const int notice = MsgDlgButtons({mbOK});
    const int question = MsgDlgButtons({mbYes, mbNo});
    QTest::newRow("notice Enter") << notice << int(PressEnter) << QString() << int(mrOk);
    QTest::newRow("notice Escape") << notice << int(PressEscape) << QString() << int(mrOk);
    QTest::newRow("notice close box") << notice << int(CloseBox) << QString() << int(mrCancel);
    QTest::newRow("question Enter") << question << int(PressEnter) << QString() << int(mrYes);
    QTest::newRow("question Escape") << question << int(PressEscape) << QString() << int(mrNo);
    QTest::newRow("question close box") << question << int(CloseBox) << QString() << int(mrCancel);
    QTest::newRow("Cancel outranks No for Escape")
        << int(MsgDlgButtons({mbYes, mbNo, mbCancel})) << int(PressEscape) << QString()
        << int(mrCancel);
    QTest::newRow("OK outranks Yes for Enter")
        << int(MsgDlgButtons({mbYes, mbOK})) << int(PressEnter) << QString() << int(mrOk);
    QTest::newRow("Enter takes Retry though Abort comes first")
        << int(MsgDlgButtons({mbAbort, mbRetry, mbIgnore})) << int(PressEnter) << QString()
        << int(mrRetry);

    const int all = 0x7ff;
    const std::pair<const char *, int> clicks[] = {
        {"Yes", mrYes},           {"No", mrNo},       {"OK", mrOk},
        {"Cancel", mrCancel},     {"Abort", mrAbort}, {"Retry", mrRetry},
        {"Ignore", mrIgnore},     {"All", mrAll},     {"NoToAll", mrNoToAll},
        {"YesToAll", mrYesToAll},
    };
    for (const auto &[name, result] : clicks)
        QTest::addRow("click %s", name) << all << int(Click) << QString::fromLatin1(name) << result;
}

void TestNewMessageDlg::answers()
{
    QFETCH(int, buttons);
    QFETCH(int, action);
    QFETCH(QString, button);
    QFETCH(int, expected);

    switch (Action(action)) {
    case PressEnter:
        ModalHelper::pressKeyOnNextModal(Qt::Key_Return);
        break;
    case PressEscape:
        ModalHelper::pressKeyOnNextModal(Qt::Key_Escape);
        break;
    case CloseBox:
        ModalHelper::closeNextModal();
        break;
    case Click:
        ModalHelper::pressOnNextModal(button);
        break;
    }
    QCOMPARE(NewMessageDlg(QStringLiteral("Proceed?"), mtConfirmation, TMsgDlgButtons(buttons), 0),
             expected);
    QCOMPARE(liveForms(), 0);
}

// Escape without a cancel button and the Help button leave the question open; the close box
// then still answers 2.
void TestNewMessageDlg::actionsThatDoNotClose_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<bool>("help");
    QTest::newRow("Escape, no cancel button")
        << int(MsgDlgButtons({mbYes, mbAbort, mbIgnore})) << false;
    QTest::newRow("Help button") << int(MsgDlgButtons({mbOK, mbHelp})) << true;
}

void TestNewMessageDlg::actionsThatDoNotClose()
{
    QFETCH(int, buttons);
    QFETCH(bool, help);
    bool stillOpen = false;
    onNextModal([&](QWidget *modal) {
        if (help)
            QTest::mouseClick(modal->findChild<QPushButton *>(QStringLiteral("Help")),
                              Qt::LeftButton);
        else
            QTest::keyClick(ModalHelper::keyTarget(modal), Qt::Key_Escape);
        QCoreApplication::processEvents();
        stillOpen = modal->isVisible() && QApplication::activeModalWidget() == modal;
        modal->close();
    });
    QCOMPARE(NewMessageDlg(QStringLiteral("Go on?"), mtWarning, TMsgDlgButtons(buttons), 0),
             int(mrCancel));
    QVERIFY(stillOpen);
}

void TestNewMessageDlg::copyKey_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QByteArray>("expected"); // empty: the clipboard must stay as it was

    const QString disk = QStringLiteral("Disk full");
    const int notice = MsgDlgButtons({mbOK});
    const QByteArray noticeText =
        divider + "Information\r\n" + divider + "Disk full\r\n" + divider + "OK   \r\n" + divider;
    QTest::newRow("Ctrl+C notice")
        << disk << int(mtInformation) << notice << int(Qt::ControlModifier) << noticeText;
    QTest::newRow("Ctrl+C question")
        << QStringLiteral("Quit?") << int(mtConfirmation) << int(MsgDlgButtons({mbNo, mbYes}))
        << int(Qt::ControlModifier)
        << divider + "Confirm\r\n" + divider + "Quit?\r\n" + divider + "Yes   No   \r\n" + divider;
    const QString wide = QStringLiteral("Température 25 °C — Ω ≥ 1 кОм ✓");
    QTest::newRow("Ctrl+C keeps characters outside Latin-1")
        << wide << int(mtCustom) << int(MsgDlgButtons({mbYes, mbNoToAll}))
        << int(Qt::ControlModifier)
        << divider + "Lumetra under test\r\n" + divider + wide.toUtf8() + "\r\n" + divider
               + "Yes   No to All   \r\n" + divider;
    QTest::newRow("Ctrl+Shift+C") << disk << int(mtInformation) << notice
                                  << int(Qt::ControlModifier | Qt::ShiftModifier) << QByteArray();
    QTest::newRow("Ctrl+Alt+C") << disk << int(mtInformation) << notice
                                << int(Qt::ControlModifier | Qt::AltModifier) << QByteArray();
    QTest::newRow("Alt+C") << disk << int(mtInformation) << notice << int(Qt::AltModifier)
                           << QByteArray();
    QTest::newRow("C") << disk << int(mtInformation) << notice << int(Qt::NoModifier)
                       << QByteArray();
}

void TestNewMessageDlg::copyKey()
{
    QFETCH(QString, message);
    QFETCH(int, type);
    QFETCH(int, buttons);
    QFETCH(int, modifiers);
    QFETCH(QByteArray, expected);

    const QString before = QStringLiteral("clipboard before the dialog");
    QGuiApplication::clipboard()->setText(before);
    QString after;
    bool focusOnButton = false;
    bool stillOpen = false;
    onNextModal([&](QWidget *modal) {
        QWidget *target = ModalHelper::keyTarget(modal);
        focusOnButton = qobject_cast<QPushButton *>(target) != nullptr;
        QTest::keyClick(target, Qt::Key_C, Qt::KeyboardModifiers(modifiers));
        after = QGuiApplication::clipboard()->text();
        stillOpen = modal->isVisible();
        modal->close();
    });
    NewMessageDlg(message, TMsgDlgType(type), TMsgDlgButtons(buttons), 0);

    QVERIFY(focusOnButton); // the key went through a button, as a user's would
    QVERIFY(stillOpen);
    if (expected.isEmpty())
        QCOMPARE(after, before);
    else
        QCOMPARE(after.toUtf8(), expected);
}

void TestNewMessageDlg::longMessageWrapsAtHalfTheScreen()
{
    QStringList words;
    for (int i = 0; i < 60; ++i)
        words << QStringLiteral("word%1").arg(i);
    const QString msg = words.join(QLatin1Char(' '));
    auto form = build(msg, mtInformation, MsgDlgButtons({mbOK}));
    const QLabel *label = form->Message;
    const int halfScreen = QGuiApplication::primaryScreen()->geometry().width() / 2;

    QVERIFY2(label->width() <= halfScreen, qPrintable(QString::number(label->width())));
    QVERIFY(label->width() > halfScreen * 3 / 4); // filled, not wrapped needlessly early
    QVERIFY(label->height() >= 3 * QFontMetrics(label->font()).height());
    QCOMPARE(label->text(), msg);
    // Every word fits: the label needs no more height at its width than it was given.
    QVERIFY(label->heightForWidth(label->width()) <= label->height());
    QVERIFY(form->rect().contains(label->geometry()));
    for (const QPushButton *b : buttonRow(form.get()))
        QVERIFY(b->y() >= label->geometry().bottom());
}

void TestNewMessageDlg::shortMessageIsAsWideAsTheButtonRow_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("buttons");
    QTest::newRow("no icon, three buttons")
        << int(mtCustom) << int(MsgDlgButtons({mbYes, mbNo, mbCancel}));
    QTest::newRow("icon, two buttons") << int(mtConfirmation) << int(MsgDlgButtons({mbYes, mbNo}));
    QTest::newRow("icon, one long caption")
        << int(mtWarning) << int(MsgDlgButtons({mbOK, mbYesToAll}));
}

void TestNewMessageDlg::shortMessageIsAsWideAsTheButtonRow()
{
    QFETCH(int, type);
    QFETCH(int, buttons);
    auto form = build(QStringLiteral("Hi"), TMsgDlgType(type), TMsgDlgButtons(buttons));
    const Metrics m = metricsOf(form->font());
    const QList<QPushButton *> row = buttonRow(form.get());
    QVERIFY(!row.isEmpty());

    const int rowWidth = row.last()->geometry().right() + 1 - row.first()->x();
    QCOMPARE(form->width(), rowWidth + 2 * m.hm);
    QCOMPARE(row.first()->x(), m.hm);
    for (int i = 0; i < row.size(); ++i) {
        QCOMPARE(row[i]->width(), row.first()->width());
        QCOMPARE(row[i]->height(), m.bh);
        if (i > 0)
            QCOMPARE(row[i]->x(), row[i - 1]->x() + row[i - 1]->width() + m.bs);
    }
    QVERIFY(row.first()->width() >= m.bw);
    QCOMPARE(form->minimumSize(), form->maximumSize()); // the user cannot resize it
}

void TestNewMessageDlg::captionIconAndBlockHeight_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("icon");
    QTest::newRow("warning") << int(mtWarning) << QStringLiteral("Warning") << true;
    QTest::newRow("error") << int(mtError) << QStringLiteral("Error") << true;
    QTest::newRow("information") << int(mtInformation) << QStringLiteral("Information") << true;
    QTest::newRow("confirmation") << int(mtConfirmation) << QStringLiteral("Confirm") << true;
    QTest::newRow("custom") << int(mtCustom) << QStringLiteral("Lumetra under test") << false;
}

void TestNewMessageDlg::captionIconAndBlockHeight()
{
    QFETCH(int, type);
    QFETCH(QString, caption);
    QFETCH(bool, icon);
    auto form = build(QStringLiteral("One line."), TMsgDlgType(type), MsgDlgButtons({mbOK}));
    const Metrics m = metricsOf(form->font());
    const QLabel *image = form->findChild<QLabel *>(QStringLiteral("Image"));
    const QPushButton *ok = form->findChild<QPushButton *>(QStringLiteral("OK"));
    QVERIFY(ok);

    QCOMPARE(form->windowTitle(), caption);
    QVERIFY(!(form->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(image != nullptr, icon);
    const int blockHeight = icon ? 32 : form->Message->height();
    if (icon) {
        QCOMPARE(image->geometry(), QRect(m.hm, m.vm, 32, 32));
        QVERIFY(!image->pixmap().isNull());
        QCOMPARE(form->Message->x(), m.hm + 32 + m.hs);
        QVERIFY(form->Message->height() < 32);
    } else {
        QCOMPARE(form->Message->x(), m.hm);
    }
    QCOMPARE(form->Message->y(), m.vm);
    QCOMPARE(ok->y(), blockHeight + m.vm + m.vs);
    QCOMPARE(form->height(), blockHeight + m.bh + m.vs + 2 * m.vm);
}

void TestNewMessageDlg::buttonsInBitOrder_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("Cancel, OK") << int(MsgDlgButtons({mbCancel, mbOK}))
                                << QStringList{"OK", "Cancel"} << QStringList{"OK", "Cancel"};
    QTest::newRow("Help, Yes, Abort")
        << int(MsgDlgButtons({mbHelp, mbYes, mbAbort})) << QStringList{"Yes", "Abort", "Help"}
        << QStringList{"&Yes", "&Abort", "&Help"};
    QTest::newRow("YesToAll, NoToAll, All") << int(MsgDlgButtons({mbYesToAll, mbNoToAll, mbAll}))
                                            << QStringList{"All", "NoToAll", "YesToAll"}
                                            << QStringList{"&All", "N&o to All", "Yes to &All"};
    QTest::newRow("all eleven") << 0x7ff << QStringList{"Yes",     "No",       "OK",     "Cancel",
                                                        "Abort",   "Retry",    "Ignore", "All",
                                                        "NoToAll", "YesToAll", "Help"}
                                << QStringList{"&Yes",       "&No",         "OK",      "Cancel",
                                               "&Abort",     "&Retry",      "&Ignore", "&All",
                                               "N&o to All", "Yes to &All", "&Help"};
}

void TestNewMessageDlg::buttonsInBitOrder()
{
    QFETCH(int, buttons);
    QFETCH(QStringList, names);
    QFETCH(QStringList, captions);
    auto form = build(QStringLiteral("Order"), mtCustom, TMsgDlgButtons(buttons));
    QStringList leftToRight, created, texts;
    for (const QPushButton *b : buttonRow(form.get())) {
        leftToRight << b->objectName();
        texts << b->text();
    }
    for (const QPushButton *b : form->findChildren<QPushButton *>())
        created << b->objectName();
    QCOMPARE(leftToRight, names);
    QCOMPARE(created, names);
    QCOMPARE(texts, captions);
}

void TestNewMessageDlg::position_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::newRow("centred") << -1 << -1;
    QTest::newRow("left given") << 10 << -1;
    QTest::newRow("top given") << -1 << 20;
    QTest::newRow("both given") << 30 << 40;
}

void TestNewMessageDlg::position()
{
    QFETCH(int, x);
    QFETCH(int, y);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QRect shown;
    onNextModal([&](QWidget *modal) {
        shown = modal->frameGeometry();
        modal->close();
    });
    NewMessageDlgPos(QStringLiteral("Where am I?"), mtInformation, MsgDlgButtons({mbOK}), 0, x, y,
                     QString());
    QVERIFY(shown.isValid());
    const int centredLeft = screen.width() / 2 - shown.width() / 2;
    const int centredTop = screen.height() / 2 - shown.height() / 2;
    QCOMPARE(shown.x(), x >= 0 ? x : centredLeft);
    QCOMPARE(shown.y(), y >= 0 ? y : centredTop);
}

void TestNewMessageDlg::rightToLeftTextStaysClearOfIcon()
{
    QGuiApplication::setLayoutDirection(Qt::RightToLeft);
    auto form = build(QStringLiteral("A message long enough to be wider than the buttons."),
                      mtError, MsgDlgButtons({mbOK}));
    QGuiApplication::setLayoutDirection(Qt::LeftToRight);
    const Metrics m = metricsOf(form->font());
    const QRect image = form->findChild<QLabel *>(QStringLiteral("Image"))->geometry();
    const QRect text = form->Message->geometry();

    QVERIFY(!image.intersects(text));
    QCOMPARE(image.right() + 1, form->width() - m.hm);
    QCOMPARE(text.right() + 1 + m.hs, image.left());
    QCOMPARE(text.left(), m.hm);
}

QTEST_MAIN(TestNewMessageDlg)
#include "tst_newmessagedlg.moc"
