// The serial port component over the Win32 communications API: the port opened for overlapped
// I/O and shared with no one, a reader that waits in WaitCommEvent for received characters and
// a stop event, and the owner's thread reading what is queued when the reader reports it.
#include "tccomm.h"

#include "tdevicechoice.h"

#include <windows.h>

#include <iterator>
#include <stdexcept>
#include <system_error>

namespace {

constexpr DWORD InputQueue = 5120;
constexpr DWORD OutputQueue = 2048;
constexpr DWORD ReadIntervalMs = 100;

HANDLE handleOf(void *handle)
{
    return static_cast<HANDLE>(handle);
}

void closeHandle(void *&handle)
{
    if (handle)
        CloseHandle(handleOf(handle));
    handle = nullptr;
}

[[noreturn]] void fail(const QString &message)
{
    throw std::runtime_error(message.toLocal8Bit().toStdString());
}

// "COM10" and above exist only in the device namespace; "COM1" is found there as well.
std::wstring deviceName(const QString &port)
{
    QString name = port;
    if (!name.contains(QLatin1Char('\\')) && !name.contains(QLatin1Char('/')))
        name = QStringLiteral("\\\\.\\") + name;
    return name.toStdWString();
}

} // namespace

QStringList TCComm::ListPorts(const QString &key)
{
    QStringList ports;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<const wchar_t *>(key.utf16()), 0,
                      KEY_READ, &opened)
        != ERROR_SUCCESS)
        return ports;
    QStringList found;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = DWORD(std::size(name));
        wchar_t data[256];
        DWORD dataBytes = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG status = RegEnumValueW(opened, index, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE *>(data), &dataBytes);
        if (status == ERROR_NO_MORE_ITEMS) {
            SortCaseInsensitive(found);
            ports = found;
            break;
        }
        // A value too long for the buffers names no port; any other failure leaves the list.
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        if (type != REG_SZ)
            continue;
        QString port = QString::fromWCharArray(data, qsizetype(dataBytes / sizeof(wchar_t)));
        while (port.endsWith(QChar(0)))
            port.chop(1);
        if (!port.isEmpty())
            found.append(port);
    }
    RegCloseKey(opened);
    return ports;
}

void TCComm::Open()
{
    if (IsOpen())
        fail(CommPort_ + QStringLiteral(" has been opened!"));
    const QString failed = QStringLiteral("Failed to open ") + CommPort_ + QStringLiteral("!");

    // No sharing: one program per port, and the system says so when another holds it.
    const HANDLE port =
        CreateFileW(deviceName(CommPort_).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        const DWORD why = GetLastError();
        if (why == ERROR_ACCESS_DENIED || why == ERROR_SHARING_VIOLATION)
            fail(failed + QStringLiteral(" It is in use by another program."));
        fail(failed);
    }
    // Anything but a communications device (a file that happens to carry the name) is no port.
    DCB line = {};
    line.DCBlength = sizeof line;
    if (!SetupComm(port, InputQueue, OutputQueue) || !GetCommState(port, &line)) {
        CloseHandle(port);
        fail(failed);
    }
    PortHandle_ = port;
    StopEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ReadEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!StopEvent_ || !ReadEvent_) {
        ReleasePort();
        fail(failed);
    }
    ApplySettings();
    COMMTIMEOUTS timeouts = {};
    if (GetCommTimeouts(port, &timeouts)) {
        timeouts.ReadIntervalTimeout = ReadIntervalMs;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = 0;
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = 0;
        SetCommTimeouts(port, &timeouts);
    }
    SetCommMask(port, EV_RXCHAR);
    // What arrived before we were listening belongs to nobody.
    PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);

    void *const stop = StopEvent_;
    try {
        ReaderThread_.Start(
            [this, port = PortHandle_, stop](TReaderHandOff::TReader &reader) {
                ReaderLoop(reader, port, stop);
            },
            [stop] { SetEvent(handleOf(stop)); });
    } catch (const std::system_error &) {
        // The port is let go, so that a later try, with room for the thread, can open it.
        ReleasePort();
        throw std::runtime_error("Failed to Create Thread!");
    }
    Connected_ = true;
    emit OnOpened(this);
}

void TCComm::Close()
{
    // A handler that closes again from a delivery made by this very Close finds nothing to do.
    if (!IsOpen() || Closing_)
        return;
    Closing_ = true;
    // Bytes the reader had reported are still read and delivered by the stop.
    ReaderThread_.Stop();
    PurgeComm(handleOf(PortHandle_), PURGE_RXABORT | PURGE_RXCLEAR);
    ReleasePort();
    Closing_ = false;
    Connected_ = false;
    LinkLost_ = false;
    emit OnClosed(this);
}

void TCComm::ReleasePort()
{
    closeHandle(ReadEvent_);
    closeHandle(StopEvent_);
    closeHandle(PortHandle_);
}

void TCComm::ApplySettings()
{
    if (!IsOpen())
        return;
    DCB line = {};
    line.DCBlength = sizeof line;
    if (!GetCommState(handleOf(PortHandle_), &line))
        return;
    line.BaudRate = BaudRateValue(BaudRate_);
    line.ByteSize = BYTE(ByteSize_ + 5);
    line.Parity = BYTE(Parity_);     // NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY
    line.StopBits = BYTE(StopBits_); // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS
    // Raw bytes, DTR held on, RTS off; no parity checking, flow control, replacement or null
    // stripping, and an error does not stop the line.
    line.fBinary = TRUE;
    line.fParity = FALSE;
    line.fOutxCtsFlow = FALSE;
    line.fOutxDsrFlow = FALSE;
    line.fDtrControl = DTR_CONTROL_ENABLE;
    line.fDsrSensitivity = FALSE;
    line.fTXContinueOnXoff = FALSE;
    line.fOutX = FALSE;
    line.fInX = FALSE;
    line.fErrorChar = FALSE;
    line.fNull = FALSE;
    line.fRtsControl = RTS_CONTROL_DISABLE;
    line.fAbortOnError = FALSE;
    // What the driver refuses is ignored.
    SetCommState(handleOf(PortHandle_), &line);
}

void TCComm::ReaderLoop(TReaderHandOff::TReader &reader, void *port, void *stop)
{
    OVERLAPPED wait = {};
    wait.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!wait.hEvent)
        return;
    const HANDLE watched[2] = {handleOf(stop), wait.hEvent};
    bool lost = false;
    while (!lost && !reader.Stopping()) {
        DWORD mask = 0;
        ResetEvent(wait.hEvent);
        if (!WaitCommEvent(handleOf(port), &mask, &wait)) {
            if (GetLastError() != ERROR_IO_PENDING) {
                lost = true;
                break;
            }
            if (WaitForMultipleObjects(2, watched, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
                // The stop (or a wait that failed): the pending wait goes before its record.
                CancelIo(handleOf(port));
                DWORD ignored = 0;
                GetOverlappedResult(handleOf(port), &wait, &ignored, TRUE);
                break;
            }
            DWORD ignored = 0;
            if (!GetOverlappedResult(handleOf(port), &wait, &ignored, FALSE)) {
                // A purge or a new mask ends a wait; a port whose device went away fails.
                if (GetLastError() == ERROR_OPERATION_ABORTED)
                    continue;
                lost = true;
                break;
            }
        }
        // The reader only reports; the owner's thread reads what is queued by then.
        if ((mask & EV_RXCHAR) && !reader.HandOff())
            break;
    }
    // A line that failed is not watched again: after the news of the loss (with what was left),
    // the reader waits for Close.
    if (lost && reader.HandOff(QByteArray(1, 'L')))
        WaitForSingleObject(handleOf(stop), INFINITE);
    CloseHandle(wait.hEvent);
}

void TCComm::ReportLinkLost()
{
    if (!IsOpen() || LinkLost_)
        return;
    LinkLost_ = true;
    emit OnLinkLost(this);
}

void TCComm::ReceiveQueued()
{
    if (!IsOpen())
        return;
    DWORD errors = 0;
    COMSTAT status = {};
    // A line whose state cannot be read (gone) delivers nothing this time.
    if (!ClearCommError(handleOf(PortHandle_), &errors, &status))
        return;
    QByteArray buffer(qsizetype(status.cbInQue), Qt::Uninitialized);
    DWORD got = 0;
    if (!buffer.isEmpty()) {
        OVERLAPPED read = {};
        read.hEvent = handleOf(ReadEvent_);
        ResetEvent(read.hEvent);
        // The bytes are queued already, so the read completes at once.
        const bool started =
            ReadFile(handleOf(PortHandle_), buffer.data(), DWORD(buffer.size()), nullptr, &read)
            || GetLastError() == ERROR_IO_PENDING;
        if (!started || !GetOverlappedResult(handleOf(PortHandle_), &read, &got, TRUE))
            got = 0;
    }
    buffer.truncate(qsizetype(got));
    emit OnReceiveData(buffer.constData(), std::uint32_t(buffer.size()));
}
