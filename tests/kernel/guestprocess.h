#pragma once

// The build tree's programs as the guest's tests run them: from the test's own folder, with a
// temporary state folder, offscreen, and what they printed kept for the checks.

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

struct TProgramRun
{
    int ExitCode = -1;
    QByteArray Out;
    QByteArray Err;
};

inline QString programPath(const QString &name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
}

// Starts a program of the build tree; its journal and settings stay in stateHome.
inline void startProgram(QProcess &process, const QString &name, const QStringList &arguments,
                         const QString &stateHome, const QStringList &prefix = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_STATE_HOME"), stateHome);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), stateHome);
    env.insert(QStringLiteral("HOME"), stateHome);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    if (prefix.isEmpty()) {
        process.start(programPath(name), arguments);
    } else {
        process.start(prefix.first(), prefix.mid(1) + QStringList{programPath(name)} + arguments);
    }
}

// Waits for the end of a started program (a hung one is killed and fails the check).
inline TProgramRun finishProgram(QProcess &process, int timeoutMs = 60000)
{
    TProgramRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        QTest::qFail("a program did not end", __FILE__, __LINE__);
    }
    run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.Out = process.readAllStandardOutput();
    run.Err = process.readAllStandardError();
    return run;
}

inline TProgramRun runProgram(const QString &name, const QStringList &arguments,
                              const QString &stateHome)
{
    QProcess process;
    startProgram(process, name, arguments, stateHome);
    return finishProgram(process);
}

// The readings of a tab-separated record file: every line without its record number and time
// (the first two fields), which differ from run to run.
inline QList<QByteArrayList> readingsOf(const QString &fileName)
{
    QList<QByteArrayList> rows;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return rows;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QByteArray text = line.trimmed();
        if (!text.isEmpty())
            rows << text.split('\t').mid(2);
    }
    return rows;
}
