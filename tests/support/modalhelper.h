#pragma once

// Answers the next modal dialog of a test, as a user would: the test arms an action, then runs
// the code that shows the dialog (exec() blocks), and the action fires from inside its loop.

#include <QApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace ModalHelper {

// Calls act once with the first visible modal widget that was not already the active modal
// widget when armed and that wanted accepts, as soon as it is the active window (so its focus
// has settled as a user would find it), or 500 ms after it appeared on a platform that never
// activates it. Gives up after timeoutMs with a warning, so a missing dialog fails the test's
// own checks instead of hanging it.
inline void onNextModalWhere(std::function<bool(QWidget *)> wanted,
                             std::function<void(QWidget *)> act, int timeoutMs = 5000)
{
    auto *timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    auto seen = std::make_shared<QElapsedTimer>();
    clock->start();
    const QPointer<QWidget> before = QApplication::activeModalWidget();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal != before && modal->isVisible() && wanted(modal)) {
            if (!seen->isValid())
                seen->start();
            if (!modal->isActiveWindow() && seen->elapsed() < 500)
                return;
            timer->stop();
            timer->deleteLater();
            act(modal);
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            qWarning("ModalHelper: no modal widget appeared within %d ms", timeoutMs);
        }
    });
    timer->start();
}

inline void onNextModal(std::function<void(QWidget *)> act, int timeoutMs = 5000)
{
    onNextModalWhere([](QWidget *) { return true; }, std::move(act), timeoutMs);
}

// The control a key press would reach: the dialog's focused child, else the dialog.
inline QWidget *keyTarget(QWidget *modal)
{
    QWidget *focus = QApplication::focusWidget();
    if (!focus || focus->window() != modal)
        focus = modal->focusWidget();
    return focus ? focus : modal;
}

// Clicks the push button with that object name; warns (and closes the dialog so the test does
// not hang) when there is none.
inline void pressOnNextModal(const QString &buttonObjectName, int timeoutMs = 5000)
{
    onNextModal(
        [buttonObjectName](QWidget *modal) {
            if (auto *button = modal->findChild<QPushButton *>(buttonObjectName)) {
                QTest::mouseClick(button, Qt::LeftButton);
                return;
            }
            qWarning() << "ModalHelper: no button" << buttonObjectName << "in" << modal;
            modal->close();
        },
        timeoutMs);
}

inline void pressKeyOnNextModal(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                                int timeoutMs = 5000)
{
    onNextModal([key, modifiers](
                    QWidget *modal) { QTest::keyClick(keyTarget(modal), Qt::Key(key), modifiers); },
                timeoutMs);
}

// As the window's close box does.
inline void closeNextModal(int timeoutMs = 5000)
{
    onNextModal([](QWidget *modal) { modal->close(); }, timeoutMs);
}

// Types a file name (a full path: a dialog starts where the last one ended) into the next file
// dialog and presses Return, as a user would; a dialog that refuses the name is cancelled, so
// the test goes on to its own checks.
inline void typeFileNameOnNextModal(const QString &fileName, int timeoutMs = 5000)
{
    onNextModal(
        [fileName](QWidget *modal) {
            auto *edit = modal->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            if (!edit) {
                qWarning() << "ModalHelper: not a file dialog:" << modal;
                modal->close();
                return;
            }
            edit->setText(fileName);
            QTest::keyClick(edit, Qt::Key_Return);
            if (modal->isVisible())
                modal->close();
        },
        timeoutMs);
}

} // namespace ModalHelper
