#pragma once

// A CP2110 made through /dev/uhid: the kernel's HID core, hid-generic and hidraw serve it
// exactly as they serve the chip on a USB cable, so everything above (hidapi, udev, our
// library, the programs) runs as it does for a user. It answers the chip's feature reports,
// logs every report it receives, and passes on the bytes its far end transmits as input
// reports, cut the way a chip cuts them. It can be unplugged, made to refuse a report, or go
// silent (answer nothing at all).

#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class UhidCp2110
{
public:
    using Bytes = std::vector<uint8_t>;
    // One character (start bit, 8 data bits, stop bit) at 9600 baud.
    static constexpr std::chrono::microseconds CharacterTime{1'042};

    struct Identity
    {
        uint16_t Vid = 0x10C4;
        uint16_t Pid = 0xEA80;
        QString Serial;
        QString Product = QStringLiteral("CP2110 HID USB-to-UART Bridge");
    };

    explicit UhidCp2110(const Identity &identity);
    ~UhidCp2110(); // unplugs
    UhidCp2110(const UhidCp2110 &) = delete;
    UhidCp2110 &operator=(const UhidCp2110 &) = delete;

    // Empty once the kernel has the device; otherwise why not.
    QString Error() const;
    // /dev/hidrawN of this device, once the kernel has made it (empty until then).
    QString Node() const;

    // Every report received, in order, as text: "get 46", "set 50 00 00 25 80 00 00 03 00",
    // "out 03 41 42 43"; a refused one ends in " refused".
    QStringList Log() const;
    void ClearLog();
    // Waits until the log holds that line; false after timeoutMs.
    bool WaitForLog(const QString &line, int timeoutMs) const;

    // The far end transmits: the bytes arrive at the line rate behind what is already on the
    // line, and go up as input reports while the UART is enabled.
    void Transmit(const Bytes &bytes);
    // Frames as a meter sends them: one every period from now, each at the line rate.
    void Transmit(const std::vector<Bytes> &frames, std::chrono::milliseconds period);
    // The sizes input reports are cut to in turn (1-63 each); a report also goes up short when
    // the line falls idle, as the chip's does.
    void SetCuts(std::vector<int> cuts);
    // Input reports sent so far, as their sizes.
    std::vector<int> ReportSizes() const;

    void Refuse(uint8_t reportId); // requests for it are answered with an I/O error
    void SetSilent(bool silent);   // requests are left unanswered (the kernel gives up)
    void Unplug();                 // the device is gone, as when the cable is pulled

private:
    void Serve();
    void Answer(const struct uhid_event &request);
    void SendInput();
    bool WriteEvent(const struct uhid_event &event);
    void AddLog(const char *kind, const uint8_t *data, size_t size, bool refused);

    int Fd_ = -1;
    int StopFd_ = -1;
    QString Error_;
    QString Phys_;         // ours alone, to find the device in sysfs
    mutable QString Name_; // the HID device's name there, 0003:10C4:EA80.000N
    mutable std::mutex Mutex_;
    mutable std::condition_variable Changed_;
    QStringList Log_;
    std::vector<uint8_t> Refused_;
    bool Silent_ = false;
    bool Unplugged_ = false;
    bool Stopping_ = false;
    bool Enabled_ = false;
    bool Started_ = false;
    uint8_t Config_[8] = {0x00, 0x00, 0x25, 0x80, 0, 0, 3, 0};
    std::vector<int> Cuts_{63};
    size_t NextCut_ = 0;
    std::vector<int> Sent_;
    // Bytes on the line, each with the time its stop bit ends.
    std::deque<std::pair<std::chrono::steady_clock::time_point, uint8_t>> Line_;
    std::chrono::steady_clock::time_point LineFree_;
    std::thread Server_;
    std::thread Sender_;
};
