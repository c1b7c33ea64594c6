#pragma once

#include "tbaudrate.h"
#include "treaderhandoff.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>

// A classic serial port: lists the machine's ports, opens one by name with the line settings of
// its properties and hands what arrives to the owner's thread as OnReceiveData. It only
// listens, as the bridge component does. Needs nothing beyond QtCore and a POSIX terminal, or
// the Win32 communications API (tccomm_win.cpp).
class TCComm : public QObject
{
    Q_OBJECT
public:
    // The serial unit spells its type TBaudrate; the rates are the bridge's.
    using TBaudrate = TBaudRateCode;
    using enum TBaudRateCode;
    enum TByteSize : std::uint8_t { _5, _6, _7, _8 };
    enum TStopBits : std::uint8_t { _1, _1_5, _2 };
    enum TParity : std::uint8_t { Non, Odd, Even, Mark, Space };

    explicit TCComm(QObject *owner = nullptr);
    // Closes a port that is still open, without raising any event.
    ~TCComm() override;

    // Opens CommPort, passed to the system as it stands: a device path such as "/dev/ttyUSB0";
    // on Windows a port name such as "COM3" (the device namespace "\\.\" is put before a
    // bare name, so that "COM10" and above open too).
    // Throws std::runtime_error: CommPort + " has been opened!" while a port is open,
    // "Failed to open " + CommPort + "!" when the port is missing, busy, refused or no
    // terminal (followed by " It is in use by another program." when another program holds
    // its lock), and "Failed to Create Thread!" when the reader cannot start.
    void Open();
    // Closes an open port and raises OnClosed; does nothing when none is open.
    void Close();
    bool Connected() const { return Connected_; }
    // The open line hung up or its device went away; OnLinkLost told it. Until Close.
    bool LinkLost() const { return LinkLost_; }

    // A change of line setting applies to an open port at once; a refused one is ignored.
    TBaudrate BaudRate() const { return BaudRate_; }
    void SetBaudRate(TBaudrate rate);
    // Another name is only stored while a port is open: the open port stays where it is.
    const QString &CommPort() const { return CommPort_; }
    void SetCommPort(const QString &port);
    TByteSize ByteSize() const { return ByteSize_; }
    void SetByteSize(TByteSize size);
    TStopBits StopBits() const { return StopBits_; }
    void SetStopBits(TStopBits bits);
    TParity Parity() const { return Parity_; }
    void SetParity(TParity parity);

    // The machine's serial ports found at construction.
    const QStringList &PortList() const { return PortList_; }
#ifdef Q_OS_WIN
    // The machine's serial ports: the port names that the values of a registry key under the
    // local machine hold (HARDWARE\DEVICEMAP\SERIALCOMM, where every serial driver enters its
    // ports), sorted without regard to case; empty when the key is missing. The one list of
    // them in the program.
    static QStringList
    ListPorts(const QString &key = QStringLiteral("HARDWARE\\DEVICEMAP\\SERIALCOMM"));
#else
    // The machine's serial ports, as device paths sorted without regard to case: the one list
    // of them in the program. Every tty below a sysfs tty class folder with a device behind it,
    // where a serial core port also has a UART.
    static QStringList ListPorts(const QString &ttyClass = QStringLiteral("/sys/class/tty"));
#endif

signals:
    // Buffer holds BufferLen bytes (and a zero after them), valid only during the call.
    void OnReceiveData(const void *Buffer, std::uint32_t BufferLen);
    void OnOpened(QObject *Sender);
    void OnClosed(QObject *Sender);
    // Once per open, after the bytes that were left: the line hung up or the port vanished.
    // The port stays open (and silent) until the owner closes it.
    void OnLinkLost(QObject *Sender);

private:
    // Stores a setting and applies the settings to an open port, when it is a change.
    template<typename T> void Change(T &setting, const T &value);
    void ApplySettings();
#ifdef Q_OS_WIN
    void ReaderLoop(TReaderHandOff::TReader &reader, void *port, void *stop);
#else
    void ReaderLoop(TReaderHandOff::TReader &reader, int port, int stop);
#endif
    void ReceiveQueued();
    void ReportLinkLost();
    void ReleasePort();

    QString CommPort_ = QStringLiteral("COM1");
    TBaudrate BaudRate_ = CBR_9600;
    TByteSize ByteSize_ = _8;
    TStopBits StopBits_ = _1;
    TParity Parity_ = Non;
    QStringList PortList_;

    bool Connected_ = false;
    bool Closing_ = false;
    bool LinkLost_ = false;
#ifdef Q_OS_WIN
    bool IsOpen() const
    {
        return PortHandle_ != nullptr;
    }
    void *PortHandle_ = nullptr; // HANDLE of the port, opened for overlapped I/O
    void *StopEvent_ = nullptr;  // manual-reset: ends the reader's wait
    void *ReadEvent_ = nullptr;  // manual-reset: the owner's overlapped reads
#else
    bool IsOpen() const
    {
        return PortHandle_ >= 0;
    }
    int PortHandle_ = -1;
    int StopEvent_ = -1; // wakes the reader's poll when it is to end
#endif
    TReaderHandOff ReaderThread_;
};
