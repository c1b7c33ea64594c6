#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

class QLabel;
class QPushButton;

// The program's one modal message box: every notice and question goes through it, so they
// all look, lay out and copy (Ctrl+C) the same way.

enum TMsgDlgType : std::uint8_t { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

enum TMsgDlgBtn : std::uint8_t {
    mbYes,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore,
    mbAll,
    mbNoToAll,
    mbYesToAll,
    mbHelp,
};
inline constexpr int MsgDlgButtonCount = 11;

// A set of buttons, one bit per TMsgDlgBtn; buttons always appear in bit order.
using TMsgDlgButtons = std::uint16_t;
constexpr TMsgDlgButtons MsgDlgButtons(std::initializer_list<TMsgDlgBtn> buttons)
{
    TMsgDlgButtons set = 0;
    for (TMsgDlgBtn b : buttons)
        set = static_cast<TMsgDlgButtons>(set | (1u << b));
    return set;
}

enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8,
    mrNoToAll = 9,
    mrYesToAll = 10,
};

class TMessageForm : public QDialog
{
    Q_OBJECT
public:
    explicit TMessageForm(QWidget *parent = nullptr);

    QLabel *Message = nullptr;
    int HelpContext = 0;
    QString HelpFile;

    // The dialog as plain text, the form Ctrl+C puts on the clipboard.
    QByteArray MessageFormText() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    friend TMessageForm *BuildMessageForm(const QString &, TMsgDlgType, TMsgDlgButtons);
    friend int NewMessageDlgPos(const QString &, TMsgDlgType, TMsgDlgButtons, int, int, int,
                                const QString &);
    // Ctrl+C copies the dialog; true when the key was taken.
    bool MessageFormKeyDown(const QKeyEvent *event);
    void HelpButtonPressed();
    void placeOnScreen();

    std::vector<QPushButton *> buttons_; // in creation (= bit) order
    QPushButton *cancelButton_ = nullptr;
    int left_ = -1; // an edge the caller fixed; negative: centred on the screen
    int top_ = -1;
};

int NewMessageDlg(const QString &Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx);
int NewMessageDlgPos(const QString &Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx,
                     int X, int Y, const QString &HelpFileName);
// The caller owns the returned form.
TMessageForm *BuildMessageForm(const QString &Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons);

// Puts 8-bit text on the clipboard, replacing what was there.
void CopyTextToClipboard(const QByteArray &Text);

// Measured caption width + 8 per button, filled the first time a button is shown.
const std::array<int, MsgDlgButtonCount> &ButtonWidthCache();
