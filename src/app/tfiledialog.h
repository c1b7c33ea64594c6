#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QFileDialog;
class QWidget;

// A file dialog as a lasting component: it keeps its settings and the last name chosen, and
// shows a fresh file dialog each time it is executed. Qt's own dialog rather than the
// desktop's, so it looks and behaves the same everywhere, tests included.
class TFileDialog : public QObject
{
public:
    enum class TKind { Open, Save };
    TFileDialog(TKind kind, const QString &name, QObject *owner);

    // Pairs of a description and its patterns, all separated by "|":
    // "Text files (*.txt)|*.txt|All files (*)|*". Patterns within a pair are separated by ";".
    QString Filter;
    int FilterIndex = 1; // the pair selected when the dialog opens, counted from 1; the last
                         // one chosen afterwards
    // When set, a name typed without an extension gets one: that of the selected pair when it
    // has a single "*.ext" pattern, else this one.
    QString DefaultExt;
    // The chosen file, with the extension added when the name had none.
    QString FileName;
    // A save: the file that a chosen name will write, when that is not the name itself. The
    // question before replacing a file asks about this one, the file that is replaced.
    std::function<QString(const QString &)> WrittenName;

    // Shows the dialog modally; true when the user confirmed a name (a save over an existing
    // file only after agreeing to replace it). An open takes names of files that do not exist.
    bool Execute(QWidget *parent);

    // The filter as Qt's dialog takes it: one "description (patterns)" line a pair.
    static QStringList NameFilters(const QString &filter);

private:
    TKind Kind_;
};
