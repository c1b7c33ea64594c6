#include "newmessagedlg.h"

#include "ttoplevel.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>

#include <cstdlib>
#include <memory>

namespace {

// Lives for the whole run: a caption is measured once, with the font of the first dialog
// that showed it, so every later dialog sizes that button the same way.
std::array<int, MsgDlgButtonCount> widthCache{};

struct ButtonInfo
{
    const char *name;
    const char *caption;
    int result;
};

constexpr std::array<ButtonInfo, MsgDlgButtonCount> buttonInfo{{
    {"Yes", "&Yes", mrYes},
    {"No", "&No", mrNo},
    {"OK", "OK", mrOk},
    {"Cancel", "Cancel", mrCancel},
    {"Abort", "&Abort", mrAbort},
    {"Retry", "&Retry", mrRetry},
    {"Ignore", "&Ignore", mrIgnore},
    {"All", "&All", mrAll},
    {"NoToAll", "N&o to All", mrNoToAll},
    {"YesToAll", "Yes to &All", mrYesToAll},
    {"Help", "&Help", mrNone},
}};

constexpr int iconSize = 32;

bool hasButton(TMsgDlgButtons set, TMsgDlgBtn b)
{
    return (set & (1u << b)) != 0;
}

// a * b / c rounded to the nearest integer, halves away from zero, as MulDiv rounds; the
// dialog's proportions depend on exactly this rounding.
int mul(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const long long p = static_cast<long long>(a) * b;
    const long long ac = std::llabs(c);
    const long long q = (std::llabs(p) + ac / 2) / ac;
    return static_cast<int>(((p < 0) != (c < 0)) ? -q : q);
}

QString typeCaption(TMsgDlgType type)
{
    switch (type) {
    case mtWarning:
        return QStringLiteral("Warning");
    case mtError:
        return QStringLiteral("Error");
    case mtInformation:
        return QStringLiteral("Information");
    case mtConfirmation:
        return QStringLiteral("Confirm");
    case mtCustom:
        break;
    }
    return QGuiApplication::applicationDisplayName();
}

bool typeIcon(TMsgDlgType type, QStyle::StandardPixmap *icon)
{
    switch (type) {
    case mtWarning:
        *icon = QStyle::SP_MessageBoxWarning;
        return true;
    case mtError:
        *icon = QStyle::SP_MessageBoxCritical;
        return true;
    case mtInformation:
        *icon = QStyle::SP_MessageBoxInformation;
        return true;
    case mtConfirmation:
        *icon = QStyle::SP_MessageBoxQuestion;
        return true;
    case mtCustom:
        break;
    }
    return false;
}

// The platform theme registers its message-box font under this class name; without one the
// lookup yields the application's default font.
QFont messageFont()
{
    return QApplication::font("QMessageBoxLabel");
}

QRect screenGeometry()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        return screen->geometry();
    return QRect(0, 0, 640, 480);
}

bool isCopyKey(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    return event->key() == Qt::Key_C && mods == Qt::ControlModifier;
}

} // namespace

TMessageForm::TMessageForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint)
{
    setFont(messageFont());
}

namespace {

// The 8-bit form of the copied text. The system's own on Linux (UTF-8); on Windows UTF-8 as
// well rather than the ANSI code page, which would turn every character outside it into "?"
// on the way to a clipboard that holds Unicode.
QByteArray eightBit(const QString &text)
{
#ifdef Q_OS_WIN
    return text.toUtf8();
#else
    return text.toLocal8Bit();
#endif
}

QString fromEightBit(const QByteArray &text)
{
#ifdef Q_OS_WIN
    return QString::fromUtf8(text);
#else
    return QString::fromLocal8Bit(text);
#endif
}

} // namespace

QByteArray TMessageForm::MessageFormText() const
{
    const QByteArray divider = QByteArray(27, '-') + "\r\n";
    QByteArray captions;
    for (const QPushButton *button : buttons_)
        captions += eightBit(button->text()) + "   ";
    captions.replace("&", "");
    const QByteArray text = Message ? eightBit(Message->text()) : QByteArray();
    return divider + eightBit(windowTitle()) + "\r\n" + divider + text + "\r\n" + divider + captions
           + "\r\n" + divider;
}

bool TMessageForm::MessageFormKeyDown(const QKeyEvent *event)
{
    if (!isCopyKey(event))
        return false;
    QApplication::beep();
    CopyTextToClipboard(MessageFormText());
    return true;
}

// Buttons pass on the keys they do not use, so Ctrl+C reaches the form whichever is focused.
void TMessageForm::keyPressEvent(QKeyEvent *event)
{
    if (MessageFormKeyDown(event))
        return;
    QDialog::keyPressEvent(event);
}

// Centred by its outer size, frame included; the platform knows the frame only once the
// window exists, or on X11 once it is framed, so the placing is done again then.
void TMessageForm::placeOnScreen()
{
    PlaceOnScreen(this, TScreenArea::Whole, left_, top_);
}

void TMessageForm::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        placeOnScreen();
    QDialog::showEvent(event);
}

// The close box and the system menu's Close answer "cancel", whatever buttons there are.
void TMessageForm::closeEvent(QCloseEvent *event)
{
    if (isVisible())
        done(mrCancel);
    event->accept();
}

// Escape presses the cancel button. A dialog without one ignores Escape rather than invent an
// answer the caller never offered; the close box still ends it.
void TMessageForm::reject()
{
    if (cancelButton_)
        cancelButton_->click();
}

void TMessageForm::HelpButtonPressed()
{
    // The program ships no help file and every caller passes context 0: nothing to show.
}

TMessageForm *BuildMessageForm(const QString &Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons)
{
    auto form = std::make_unique<TMessageForm>();
    form->setLayoutDirection(QGuiApplication::layoutDirection());
    const QFont font = form->font();
    const QFontMetrics fm(font);

    const int cx =
        fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"))
        / 52;
    const int cy = fm.height();

    const int hm = mul(8, cx, 4);
    const int vm = mul(8, cy, 8);
    const int hs = mul(10, cx, 4);
    const int vs = mul(10, cy, 8);
    int bw = mul(50, cx, 4);

    int count = 0;
    for (int b = 0; b < MsgDlgButtonCount; ++b) {
        if (!hasButton(Buttons, TMsgDlgBtn(b)))
            continue;
        ++count;
        if (widthCache[b] == 0) {
            const QString caption = QString::fromLatin1(buttonInfo[b].caption);
            widthCache[b] = fm.size(Qt::TextSingleLine | Qt::TextShowMnemonic, caption).width() + 8;
        }
        bw = std::max(bw, widthCache[b]);
    }
    const int bh = mul(14, cy, 8);
    const int bs = mul(4, cx, 4);

    const QRect screen = screenGeometry();
    const QRect textRect = fm.boundingRect(QRect(0, 0, screen.width() / 2, 0),
                                           Qt::TextWordWrap | Qt::TextExpandTabs, Msg);
    const int textRight = textRect.width();
    const int textBottom = textRect.height();

    QStyle::StandardPixmap iconId{};
    const bool withIcon = typeIcon(DlgType, &iconId);
    int tw = textRight;
    int th = textBottom;
    if (withIcon) {
        tw += iconSize + hs;
        th = std::max(th, iconSize);
    }
    const int gw = count > 0 ? count * bw + (count - 1) * bs : 0;

    const int clientWidth = std::max(tw, gw) + 2 * hm;
    const int clientHeight = th + bh + vs + 2 * vm;
    form->setFixedSize(clientWidth, clientHeight);
    form->placeOnScreen();

    form->setWindowTitle(typeCaption(DlgType));
    const bool rightToLeft = form->layoutDirection() == Qt::RightToLeft;

    if (withIcon) {
        auto *image = new QLabel(form.get());
        image->setObjectName(QStringLiteral("Image"));
        const QIcon icon = form->style()->standardIcon(iconId, nullptr, form.get());
        image->setPixmap(icon.pixmap(QSize(iconSize, iconSize), form->devicePixelRatioF()));
        // Mirrored with the text, so a right-to-left message never runs over its icon.
        const int imageLeft = rightToLeft ? clientWidth - hm - iconSize : hm;
        image->setGeometry(imageLeft, vm, iconSize, iconSize);
    }

    auto *label = new QLabel(form.get());
    form->Message = label;
    label->setObjectName(QStringLiteral("Message"));
    // Shown exactly as measured: plain text, never guessed to be markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFont(font);
    label->setLayoutDirection(form->layoutDirection());
    label->setText(Msg);
    int labelLeft = tw - textRight + hm;
    if (rightToLeft)
        labelLeft = clientWidth - labelLeft - textRight;
    label->setGeometry(labelLeft, vm, textRight, textBottom);

    const int defaultButton = hasButton(Buttons, mbOK)    ? mbOK
                              : hasButton(Buttons, mbYes) ? mbYes
                                                          : mbRetry;
    const int cancelButton = hasButton(Buttons, mbCancel) ? mbCancel
                             : hasButton(Buttons, mbNo)   ? mbNo
                                                          : mbOK;

    int x = (clientWidth - gw) / 2;
    const int y = th + vm + vs;
    TMessageForm *f = form.get();
    for (int b = 0; b < MsgDlgButtonCount; ++b) {
        if (!hasButton(Buttons, TMsgDlgBtn(b)))
            continue;
        const ButtonInfo &info = buttonInfo[b];
        auto *button = new QPushButton(QString::fromLatin1(info.caption), f);
        button->setObjectName(QString::fromLatin1(info.name));
        button->setFont(font);
        if (b == defaultButton) {
            button->setDefault(true);
            // Enter answers with the default button even when it is not the first one.
            button->setFocus();
        }
        if (b == cancelButton)
            f->cancelButton_ = button;
        button->setGeometry(x, y, bw, bh);
        x += bw + bs;
        if (b == mbHelp) {
            QObject::connect(button, &QPushButton::clicked, f, &TMessageForm::HelpButtonPressed);
        } else {
            const int result = info.result;
            QObject::connect(button, &QPushButton::clicked, f, [f, result] { f->done(result); });
        }
        f->buttons_.push_back(button);
    }
    return form.release();
}

int NewMessageDlgPos(const QString &Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx,
                     int X, int Y, const QString &HelpFileName)
{
    // Freed on every way out, also when showing it fails.
    const std::unique_ptr<TMessageForm> form(BuildMessageForm(Msg, DlgType, Buttons));
    form->HelpContext = HelpCtx;
    form->HelpFile = HelpFileName;
    form->left_ = X;
    form->top_ = Y;
    form->placeOnScreen();
    return form->exec();
}

int NewMessageDlg(const QString &Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx)
{
    return NewMessageDlgPos(Msg, DlgType, Buttons, HelpCtx, -1, -1, QString());
}

void CopyTextToClipboard(const QByteArray &Text)
{
    // A plain-text reader stops at the first zero byte, so the copy does too.
    const qsizetype end = Text.indexOf('\0');
    const QByteArray text = end < 0 ? Text : Text.left(end);
    QGuiApplication::clipboard()->setText(fromEightBit(text), QClipboard::Clipboard);
}

const std::array<int, MsgDlgButtonCount> &ButtonWidthCache()
{
    return widthCache;
}
