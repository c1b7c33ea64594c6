#pragma once

// lumetra-record as a user runs it: the built program beside the test, in a process of its own,
// its state and files in a folder of the test's; and the rows of the record files it writes.

#include "statehome.h"
#include "stopprocess.h"
#include "trecordfiles.h"
#include "trecordtable.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDebug>
#include <QList>
#include <QProcess>
#include <QStringList>

struct Run
{
    int status = -1;
    QByteArray out, err;
};

// A program of the build, beside the test.
inline QString programFile(const QString &name)
{
#ifdef Q_OS_WIN
    return QCoreApplication::applicationDirPath() + "/" + name + ".exe";
#else
    return QCoreApplication::applicationDirPath() + "/" + name;
#endif
}

// How a test reads a program's output: on Windows its console lines end in CR LF, read as LF.
#ifdef Q_OS_WIN
inline constexpr QIODevice::OpenMode OutputMode = QIODevice::ReadWrite | QIODevice::Text;
#else
inline constexpr QIODevice::OpenMode OutputMode = QIODevice::ReadWrite;
#endif

inline QString recorder()
{
    return programFile(QStringLiteral("lumetra-record"));
}

inline Run runRecorder(const QStringList &arguments, const QString &folder, int timeoutMs = 60000)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(StateHomeVariable), folder);
    p.setProcessEnvironment(env);
    p.start(recorder(), arguments, OutputMode);
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = "timed out";
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// Ends a central --from-mqtt recorder, as Ctrl+C does, once it has printed `rows` lines. (With
// --frames it ends as soon as every meter heard of so far has its rows, which can be before a
// meter that started late is heard of at all.) Returns all it printed, the end's included.
inline QByteArray stopAfterLines(QProcess &p, qsizetype lines, int timeoutMs = 30000)
{
    QByteArray printed;
    const QDeadlineTimer deadline(timeoutMs);
    while (printed.count('\n') < lines && p.state() != QProcess::NotRunning
           && !deadline.hasExpired()) {
        p.waitForReadyRead(int(deadline.remainingTime()));
        printed += p.readAllStandardOutput();
    }
    AskToStop(p, TStopRequest::Terminate);
    p.waitForFinished(timeoutMs);
    return printed + p.readAllStandardOutput();
}

// The rows of a record file, aTime left out when withTime is false (it says when, not what).
inline QList<QStringList> rowsOf(const TRecordTable &t, bool withTime = false)
{
    QList<QStringList> rows;
    for (qsizetype r = 0; r < t.RecordCount(); ++r) {
        QStringList row;
        for (int f = 0; f < TRecordTable::FieldCount; ++f)
            if (withTime || f != TRecordTable::aTime)
                row << t.TextAt(r, f);
        rows << row;
    }
    return rows;
}

inline QList<QStringList> fileRows(const QString &file, bool withTime = false)
{
    TRecordTable t;
    const TOpenOutcome opened = AnyToCds(file, t, false);
    if (!opened.Ok)
        qWarning() << file << opened.Error;
    return opened.Ok ? rowsOf(t, withTime) : QList<QStringList>{{"unreadable"}};
}
