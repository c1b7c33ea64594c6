#pragma once

// Reads a PDF back as a user's own tools would: poppler's pdftotext for its text, pdftoppm for
// its pages as pictures (both from poppler-utils, which scripts/setup installs).

#include <QImage>
#include <QProcess>
#include <QRectF>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_WIN
#include "hosthelper.h"
#endif

namespace PdfTools {

// Standard output of a poppler tool; empty (and a failed check) when it cannot run.
inline QByteArray run(const QString &tool, const QStringList &arguments)
{
#ifdef Q_OS_WIN
    // Under Wine the Linux tools, on the Linux side.
    THostHelper host(QStringLiteral(LUMETRA_HOSTHELPER));
    QByteArray output, errors;
    const int code = host.Run(QStringList{tool} + arguments, {}, &output, &errors);
    if (code != 0) {
        QTest::qFail(qPrintable(tool + QStringLiteral(" failed (%1): ").arg(code)
                                + QString::fromLocal8Bit(errors)),
                     __FILE__, __LINE__);
        return {};
    }
    return output;
#else
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty()) {
        QTest::qFail(qPrintable(tool + QStringLiteral(" is missing: run scripts/setup")), __FILE__,
                     __LINE__);
        return {};
    }
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        QTest::qFail(qPrintable(tool + QStringLiteral(" failed: ")
                                + QString::fromLocal8Bit(process.readAllStandardError())),
                     __FILE__, __LINE__);
        return {};
    }
    return process.readAllStandardOutput();
#endif
}

// The text of one page (1-based), laid out as the page shows it.
inline QString pageText(const QString &pdf, int page)
{
    return QString::fromUtf8(
        run(QStringLiteral("pdftotext"),
            {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(page),
             QStringLiteral("-l"), QString::number(page), pdf, QStringLiteral("-")}));
}

// The text of one page (1-based) that lies inside an area of the sheet, in millimetres from its
// top left corner.
inline QString areaText(const QString &pdf, int page, const QRectF &mm)
{
    const auto points = [](double v) { return QString::number(qRound(v * 72 / 25.4)); };
    return QString::fromUtf8(
        run(QStringLiteral("pdftotext"),
            {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
             QString::number(page), QStringLiteral("-x"), points(mm.x()), QStringLiteral("-y"),
             points(mm.y()), QStringLiteral("-W"), points(mm.width()), QStringLiteral("-H"),
             points(mm.height()), pdf, QStringLiteral("-")}));
}

inline int pageCount(const QString &pdf)
{
    const QString info = QString::fromUtf8(run(QStringLiteral("pdfinfo"), {pdf}));
    for (const QString &line : info.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("Pages:")))
            return line.mid(6).trimmed().toInt();
    return -1;
}

// One page (1-based) as a picture at that resolution, the whole sheet.
inline QImage pageImage(const QString &pdf, int page, int dpi)
{
    QTemporaryDir dir;
    const QString stem = dir.filePath(QStringLiteral("page"));
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"),
         QString::number(page), QStringLiteral("-l"), QString::number(page),
         QStringLiteral("-singlefile"), pdf, stem});
    return QImage(stem + QStringLiteral(".png"));
}

} // namespace PdfTools
