#include "tcapturefile.h"

#include "hexdigit.h"

#include <QTimer>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Blocks handed over per pass of the event loop in fast replay.
constexpr int FastBatch = 256;
// The longest a capture's clock is taken at its word: about 24 days, a QTimer's reach.
constexpr qint64 MaxMs = 2147483647;

} // namespace

QByteArray CaptureLine(qint64 ms, const std::uint8_t *data, qsizetype len)
{
    static const char digits[] = "0123456789ABCDEF";
    QByteArray line = QByteArray::number(ms);
    line.reserve(line.size() + 3 * len + 1);
    for (qsizetype i = 0; i < len; ++i) {
        line += ' ';
        line += digits[data[i] >> 4];
        line += digits[data[i] & 0x0F];
    }
    line += '\n';
    return line;
}

bool ParseCaptureLine(QByteArrayView line, TCaptureBlock &block, QString *why)
{
    block.Ms = 0;
    block.Bytes.clear();
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n && isBlank(line[i]))
        ++i;
    if (i == n || line[i] == '#')
        return true;
    qint64 ms = 0;
    const qsizetype start = i;
    for (; i < n && line[i] >= '0' && line[i] <= '9'; ++i) {
        ms = ms * 10 + (line[i] - '0');
        if (ms > MaxMs) {
            *why = QStringLiteral("the time is out of range");
            return false;
        }
    }
    if (i == start || i == n || !isBlank(line[i])) {
        *why = QStringLiteral("a line starts with the milliseconds and a space");
        return false;
    }
    for (;;) {
        while (i < n && isBlank(line[i]))
            ++i;
        if (i == n)
            break;
        const int high = hexDigit(line[i]);
        const int low = i + 1 < n ? hexDigit(line[i + 1]) : -1;
        if (high < 0 || low < 0 || (i + 2 < n && !isBlank(line[i + 2]))) {
            *why = QStringLiteral("\"%1\" is not a byte in hexadecimal")
                       .arg(QString::fromLatin1(
                                line.sliced(i, std::min<qsizetype>(8, n - i)).toByteArray())
                                .trimmed());
            return false;
        }
        if (block.Bytes.size() >= TCaptureReader::MaxBlockBytes) {
            *why = QStringLiteral("a block holds more than %1 bytes")
                       .arg(TCaptureReader::MaxBlockBytes);
            return false;
        }
        block.Bytes += char(high << 4 | low);
        i += 2;
    }
    if (block.Bytes.isEmpty()) {
        *why = QStringLiteral("a block without bytes");
        return false;
    }
    block.Ms = ms;
    return true;
}

bool TCaptureWriter::Open(const QString &fileName)
{
    File_.close();
    File_.setFileName(fileName);
    if (!File_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        Error_ = File_.errorString();
        return false;
    }
    Clock_.start();
    if (File_.write("# Lumetra capture 1: milliseconds, then the bytes received\n") < 0) {
        Error_ = File_.errorString();
        return false;
    }
    return true;
}

bool TCaptureWriter::Write(const std::uint8_t *data, qsizetype len)
{
    if (!File_.isOpen() || len <= 0)
        return File_.isOpen();
    const QByteArray line = CaptureLine(Clock_.elapsed(), data, len);
    // Unbuffered: each line is in the file when Write returns.
    if (File_.write(line) != line.size()) {
        Error_ = File_.errorString();
        File_.close();
        return false;
    }
    return true;
}

bool TCaptureReader::Open(const QString &fileName)
{
    File_.close();
    File_.setFileName(fileName);
    Line_ = 0;
    LastMs_ = 0;
    Error_.clear();
    if (!File_.open(QIODevice::ReadOnly)) {
        Error_ = File_.errorString();
        return false;
    }
    return true;
}

bool TCaptureReader::Next(TCaptureBlock &block)
{
    if (!File_.isOpen() || !Error_.isEmpty())
        return false;
    // Room for the longest block line, its time and its line break.
    constexpr qint64 maxLine = 3 * MaxBlockBytes + 64;
    for (;;) {
        const QByteArray line = File_.readLine(maxLine);
        if (line.isEmpty()) {
            if (!File_.atEnd())
                Error_ = File_.errorString();
            return false;
        }
        ++Line_;
        QString why;
        if (line.size() >= maxLine - 1 && !line.endsWith('\n') && !File_.atEnd())
            why = QStringLiteral("the line is too long");
        else if (!ParseCaptureLine(line, block, &why))
            ;
        else if (block.Bytes.isEmpty())
            continue;
        if (!why.isEmpty()) {
            Error_ = QStringLiteral("line %1: %2").arg(Line_).arg(why);
            return false;
        }
        // A clock that goes back (an edited file) plays the block at once.
        block.Ms = std::max(block.Ms, LastMs_);
        LastMs_ = block.Ms;
        return true;
    }
}

TCaptureReplay::TCaptureReplay(bool fast, QObject *parent)
    : QObject(parent)
    , Fast_(fast)
    , Timer_(new QTimer(this))
{
    Timer_->setSingleShot(true);
    connect(Timer_, &QTimer::timeout, this, &TCaptureReplay::Play);
}

TCaptureReplay::~TCaptureReplay() = default;

bool TCaptureReplay::Open(const QString &fileName)
{
    HasPending_ = false;
    return Reader_.Open(fileName);
}

void TCaptureReplay::Start()
{
    Running_ = true;
    Clock_.start();
    Timer_->start(0);
}

void TCaptureReplay::Stop()
{
    Running_ = false;
    Timer_->stop();
}

void TCaptureReplay::Play()
{
    for (int handed = 0; Running_;) {
        if (!HasPending_) {
            HasPending_ = Reader_.Next(Pending_);
            if (!HasPending_) {
                Running_ = false;
                emit Finished();
                return;
            }
        }
        if (Fast_ ? handed == FastBatch : Pending_.Ms > Clock_.elapsed()) {
            Timer_->start(Fast_ ? 0 : int(std::min<qint64>(Pending_.Ms - Clock_.elapsed(), MaxMs)));
            return;
        }
        HasPending_ = false;
        ++handed;
        // The receiver may stop the replay from inside the hand-over.
        emit OnReceiveData(reinterpret_cast<const std::uint8_t *>(Pending_.Bytes.constData()),
                           std::uint32_t(Pending_.Bytes.size()));
    }
}
