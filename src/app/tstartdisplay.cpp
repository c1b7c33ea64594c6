#include "tstartdisplay.h"

#include <QList>
#include <QMessageLogContext>

namespace {

const QByteArray Offscreen = QByteArrayLiteral("offscreen");

// The platform named on the line (-platform NAME, --platform=NAME), or "".
QString platformArgument(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--"))
            break;
        for (const QLatin1String option :
             {QLatin1String("-platform"), QLatin1String("--platform")}) {
            if (a == option && i + 1 < arguments.size())
                return arguments.at(i + 1);
            if (a.startsWith(option + QLatin1Char('=')))
                return a.mid(option.size() + 1);
        }
    }
    return {};
}

// The platforms Qt itself would try in this session, in its order: Wayland where a Wayland
// display or session is, X11 where DISPLAY is.
QByteArrayList sessionPlatforms(const QProcessEnvironment &environment)
{
    QByteArrayList platforms;
    if (!environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty()
        || environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland"))
        platforms << QByteArrayLiteral("wayland");
    if (!environment.value(QStringLiteral("DISPLAY")).isEmpty())
        platforms << QByteArrayLiteral("xcb");
    return platforms;
}

// What was tried, for the one line that says none answered.
QString triedText(const QProcessEnvironment &environment, bool given)
{
    QStringList set;
    const QStringList names =
        given ? QStringList{QStringLiteral("QT_QPA_PLATFORM")}
              : QStringList{QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("DISPLAY")};
    for (const QString &name : names)
        if (const QString value = environment.value(name); !value.isEmpty())
            set << name + QLatin1Char('=') + value;
    return set.join(QStringLiteral(", "));
}

} // namespace

TStartDisplay ChooseStartDisplay(const QStringList &arguments, bool offscreenWillDo,
                                 const QProcessEnvironment &environment)
{
    TStartDisplay display;
    if (!platformArgument(arguments).isEmpty())
        return display; // asked for by name: not ours to second-guess
    const QByteArray given = environment.value(QStringLiteral("QT_QPA_PLATFORM")).toLocal8Bit();
    const QByteArrayList platforms =
        given.isEmpty() ? sessionPlatforms(environment) : given.split(';');
    if (platforms.contains(Offscreen))
        return display; // it never fails
    if (platforms.isEmpty()) {
        if (offscreenWillDo) {
            display.Kind = TStartDisplay::Fallback;
            display.Platforms = Offscreen;
            return display;
        }
        display.Kind = TStartDisplay::None;
        display.Why = QStringLiteral("cannot open the window: there is no display (DISPLAY and "
                                     "WAYLAND_DISPLAY are not set).");
        return display;
    }
    display.Kind = TStartDisplay::Fallback;
    display.Platforms = (platforms + QByteArrayList{Offscreen}).join(';');
    display.OffscreenIsFailure = !offscreenWillDo;
    if (display.OffscreenIsFailure)
        display.Why = QStringLiteral("cannot open the window: no display answered (%1).")
                          .arg(triedText(environment, !given.isEmpty()));
    return display;
}

namespace {

struct THeldMessage
{
    QtMsgType Type;
    QByteArray Category;
    QString Text;
};

QtMessageHandler previousHandler = nullptr;
QList<THeldMessage> *heldMessages = nullptr;

void holdMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    const QByteArray category(context.category ? context.category : "");
    // What the platforms say of displays they could not reach, or of what an offscreen
    // window cannot do.
    const bool windowSystem = category.startsWith("qt.qpa")
                              || text.startsWith(QLatin1String("This plugin does not support"));
    if (heldMessages && windowSystem && type != QtFatalMsg) {
        heldMessages->append({type, category, text});
        return;
    }
    if (previousHandler)
        previousHandler(type, context, text);
}

} // namespace

TStartMessages::TStartMessages(bool holdBack)
{
    if (!holdBack || heldMessages)
        return;
    heldMessages = new QList<THeldMessage>;
    previousHandler = qInstallMessageHandler(holdMessage);
}

TStartMessages::~TStartMessages()
{
    Release(true);
}

void TStartMessages::Release(bool drop)
{
    if (!heldMessages)
        return;
    qInstallMessageHandler(previousHandler);
    const QList<THeldMessage> held = std::move(*heldMessages);
    delete heldMessages;
    heldMessages = nullptr;
    if (drop)
        return;
    for (const THeldMessage &m : held) {
        const QMessageLogContext context(nullptr, 0, nullptr, m.Category.constData());
        qt_message_output(m.Type, context, m.Text);
    }
}
