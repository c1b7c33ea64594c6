#include "uhidcp2110.h"

#include <QDir>
#include <QFile>

#include <linux/uhid.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t BusUsb = 0x03;

// The chip's feature reports and their payload sizes.
constexpr std::pair<uint8_t, uint8_t> FeatureReports[] = {
    {0x41, 1}, {0x42, 6}, {0x43, 1}, {0x44, 2},  {0x46, 2},
    {0x50, 8}, {0x51, 1}, {0x52, 1}, {0x66, 20},
};

// Vendor-defined: reports 0x01-0x3F carry that many bytes both ways, then the feature reports.
std::vector<uint8_t> reportDescriptor()
{
    std::vector<uint8_t> d = {0x06, 0x00, 0xFF,  // usage page: vendor defined
                              0x09, 0x01,        // usage
                              0xA1, 0x01,        // collection: application
                              0x75, 0x08,        // report size: 8 bits
                              0x15, 0x00,        // logical minimum 0
                              0x26, 0xFF, 0x00}; // logical maximum 255
    for (uint8_t id = 1; id <= 63; ++id)
        d.insert(d.end(), {0x85, id, 0x95, id, 0x09, 0x01, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02});
    for (const auto &[id, size] : FeatureReports)
        d.insert(d.end(), {0x85, id, 0x95, size, 0x09, 0x01, 0xB1, 0x02});
    d.push_back(0xC0);
    return d;
}

QString hex(const uint8_t *data, size_t size)
{
    QStringList bytes;
    for (size_t i = 0; i < size; ++i)
        bytes << QStringLiteral("%1").arg(data[i], 2, 16, QLatin1Char('0')).toUpper();
    return bytes.join(QLatin1Char(' '));
}

void copyText(uint8_t *out, size_t capacity, const QString &text)
{
    const QByteArray bytes = text.toUtf8().left(int(capacity) - 1);
    std::memcpy(out, bytes.constData(), size_t(bytes.size()));
}

std::atomic<int> deviceCount{0};

} // namespace

UhidCp2110::UhidCp2110(const Identity &identity)
    : LineFree_(Clock::now())
{
    Fd_ = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    StopFd_ = ::eventfd(0, EFD_CLOEXEC);
    if (Fd_ < 0 || StopFd_ < 0) {
        Error_ = QStringLiteral("/dev/uhid: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    // The phys text is ours alone, so the device is found again in sysfs among any others.
    const QString phys = QStringLiteral("lumetra-test/%1/%2").arg(getpid()).arg(++deviceCount);
    uhid_event create = {};
    create.type = UHID_CREATE2;
    auto &c = create.u.create2;
    copyText(c.name, sizeof c.name, identity.Product);
    copyText(c.phys, sizeof c.phys, phys);
    copyText(c.uniq, sizeof c.uniq, identity.Serial);
    const std::vector<uint8_t> descriptor = reportDescriptor();
    c.rd_size = uint16_t(descriptor.size());
    std::memcpy(c.rd_data, descriptor.data(), descriptor.size());
    c.bus = BusUsb;
    c.vendor = identity.Vid;
    c.product = identity.Pid;
    if (!WriteEvent(create)) {
        Error_ = QStringLiteral("creating the device: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    Phys_ = phys;
    Server_ = std::thread([this] { Serve(); });
    Sender_ = std::thread([this] { SendInput(); });
}

UhidCp2110::~UhidCp2110()
{
    Unplug();
    {
        std::lock_guard lock(Mutex_);
        Stopping_ = true;
        Changed_.notify_all();
    }
    if (StopFd_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(StopFd_, &one, sizeof one);
    }
    if (Server_.joinable())
        Server_.join();
    if (Sender_.joinable())
        Sender_.join();
    if (Fd_ >= 0)
        ::close(Fd_);
    if (StopFd_ >= 0)
        ::close(StopFd_);
}

QString UhidCp2110::Error() const
{
    return Error_;
}

QString UhidCp2110::Node() const
{
    // The kernel adds the HID device after the request has returned.
    if (Name_.isEmpty()) {
        for (const QString &name : QDir(QStringLiteral("/sys/bus/hid/devices")).entryList()) {
            QFile uevent(QStringLiteral("/sys/bus/hid/devices/%1/uevent").arg(name));
            if (uevent.open(QIODevice::ReadOnly)
                && uevent.readAll().contains(("HID_PHYS=" + Phys_ + "\n").toUtf8()))
                Name_ = name;
        }
        if (Name_.isEmpty())
            return {};
    }
    const QStringList nodes = QDir(QStringLiteral("/sys/bus/hid/devices/%1/hidraw").arg(Name_))
                                  .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return nodes.isEmpty() ? QString() : QStringLiteral("/dev/") + nodes.first();
}

bool UhidCp2110::WriteEvent(const uhid_event &event)
{
    ssize_t n;
    do
        n = ::write(Fd_, &event, sizeof event);
    while (n < 0 && errno == EINTR);
    return n == ssize_t(sizeof event);
}

void UhidCp2110::AddLog(const char *kind, const uint8_t *data, size_t size, bool refused)
{
    QString line = QLatin1String(kind) + QLatin1Char(' ') + hex(data, size);
    if (refused)
        line += QStringLiteral(" refused");
    Log_ << line;
    Changed_.notify_all();
}

QStringList UhidCp2110::Log() const
{
    std::lock_guard lock(Mutex_);
    return Log_;
}

void UhidCp2110::ClearLog()
{
    std::lock_guard lock(Mutex_);
    Log_.clear();
}

bool UhidCp2110::WaitForLog(const QString &line, int timeoutMs) const
{
    std::unique_lock lock(Mutex_);
    return Changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return Log_.contains(line); });
}

void UhidCp2110::Transmit(const Bytes &bytes)
{
    std::lock_guard lock(Mutex_);
    auto at = std::max(LineFree_, Clock::now());
    for (const uint8_t b : bytes) {
        at += CharacterTime;
        Line_.emplace_back(at, b);
    }
    LineFree_ = at;
    Changed_.notify_all();
}

void UhidCp2110::Transmit(const std::vector<Bytes> &frames, std::chrono::milliseconds period)
{
    std::lock_guard lock(Mutex_);
    const auto start = Clock::now();
    for (size_t k = 0; k < frames.size(); ++k) {
        auto at = std::max(LineFree_, start + period * int64_t(k));
        for (const uint8_t b : frames[k]) {
            at += CharacterTime;
            Line_.emplace_back(at, b);
        }
        LineFree_ = at;
    }
    Changed_.notify_all();
}

void UhidCp2110::SetCuts(std::vector<int> cuts)
{
    std::lock_guard lock(Mutex_);
    Cuts_ = std::move(cuts);
    NextCut_ = 0;
}

std::vector<int> UhidCp2110::ReportSizes() const
{
    std::lock_guard lock(Mutex_);
    return Sent_;
}

void UhidCp2110::Refuse(uint8_t reportId)
{
    std::lock_guard lock(Mutex_);
    Refused_.push_back(reportId);
}

void UhidCp2110::SetSilent(bool silent)
{
    std::lock_guard lock(Mutex_);
    Silent_ = silent;
}

void UhidCp2110::Unplug()
{
    std::lock_guard lock(Mutex_);
    if (Unplugged_ || Fd_ < 0 || !Error_.isEmpty())
        return;
    Unplugged_ = true;
    uhid_event destroy = {};
    destroy.type = UHID_DESTROY;
    WriteEvent(destroy);
    Changed_.notify_all();
}

void UhidCp2110::Serve()
{
    for (;;) {
        pollfd fds[2] = {{Fd_, POLLIN, 0}, {StopFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        uhid_event event = {};
        const ssize_t n = ::read(Fd_, &event, sizeof event);
        if (n <= 0) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            return;
        }
        Answer(event);
    }
}

void UhidCp2110::Answer(const uhid_event &request)
{
    uhid_event reply = {};
    {
        std::lock_guard lock(Mutex_);
        switch (request.type) {
        case UHID_START:
            Started_ = true;
            Changed_.notify_all();
            return;
        case UHID_OUTPUT:
            AddLog("out", request.u.output.data, std::min<size_t>(request.u.output.size, 64),
                   false);
            return;
        case UHID_GET_REPORT: {
            const uint8_t id = request.u.get_report.rnum;
            const bool refused = std::count(Refused_.begin(), Refused_.end(), id) > 0;
            AddLog("get", &id, 1, refused);
            if (Silent_)
                return;
            reply.type = UHID_GET_REPORT_REPLY;
            auto &r = reply.u.get_report_reply;
            r.id = request.u.get_report.id;
            std::vector<uint8_t> payload;
            switch (id) {
            case 0x41:
                payload = {uint8_t(Enabled_ ? 1 : 0)};
                break;
            case 0x42:
                payload = {0, 0, 0, 0, 0, 0};
                break;
            case 0x44:
                payload = {0xFF, 0xFF};
                break;
            case 0x46:
                payload = {0x0A, 0x01}; // the CP2110, version 1
                break;
            case 0x50:
                payload.assign(std::begin(Config_), std::end(Config_));
                break;
            case 0x66:
                payload.assign(20, 0);
                break;
            }
            if (refused || payload.empty() || request.u.get_report.rtype != UHID_FEATURE_REPORT) {
                r.err = EIO;
            } else {
                r.data[0] = id;
                std::copy(payload.begin(), payload.end(), r.data + 1);
                r.size = uint16_t(payload.size() + 1);
            }
            break;
        }
        case UHID_SET_REPORT: {
            const auto &s = request.u.set_report;
            const size_t size = std::min<size_t>(s.size, 64);
            const uint8_t id = s.rnum;
            const bool refused = std::count(Refused_.begin(), Refused_.end(), id) > 0;
            AddLog("set", s.data, size, refused);
            if (Silent_)
                return;
            reply.type = UHID_SET_REPORT_REPLY;
            reply.u.set_report_reply.id = s.id;
            bool ok = !refused && size >= 2 && s.rtype == UHID_FEATURE_REPORT && s.data[0] == id;
            if (ok) {
                switch (id) {
                case 0x41:
                    ok = s.data[1] <= 1;
                    if (ok)
                        Enabled_ = s.data[1] == 1;
                    break;
                case 0x43:
                    // The receive FIFO: what has arrived and not gone up yet.
                    if (s.data[1] & 0x02)
                        while (!Line_.empty() && Line_.front().first <= Clock::now())
                            Line_.pop_front();
                    break;
                case 0x50:
                    ok = size >= 1 + sizeof Config_;
                    if (ok)
                        std::memcpy(Config_, s.data + 1, sizeof Config_);
                    break;
                case 0x51:
                case 0x52:
                    break;
                default:
                    ok = false;
                }
            }
            reply.u.set_report_reply.err = ok ? 0 : EIO;
            Changed_.notify_all();
            break;
        }
        default:
            return;
        }
    }
    WriteEvent(reply);
}

void UhidCp2110::SendInput()
{
    std::unique_lock lock(Mutex_);
    for (;;) {
        if (Stopping_)
            return;
        const auto now = Clock::now();
        // What arrives while the UART is disabled is lost, as on the chip.
        while (!Enabled_ && !Line_.empty() && Line_.front().first <= now)
            Line_.pop_front();
        if (Line_.empty() || Unplugged_ || !Started_) {
            Changed_.wait(lock);
            continue;
        }
        const size_t cut =
            size_t(std::clamp(Cuts_.empty() ? 63 : Cuts_[NextCut_ % Cuts_.size()], 1, 63));
        size_t arrived = 0;
        while (arrived < Line_.size() && arrived < cut && Line_[arrived].first <= now)
            ++arrived;
        // A full report goes up at once; a short one when the line falls idle behind it.
        const bool idle = arrived > 0 && arrived < Line_.size()
                          && Line_[arrived].first - Line_[arrived - 1].first > 2 * CharacterTime;
        if (arrived < cut && arrived < Line_.size() && !idle) {
            Changed_.wait_until(lock, Line_[arrived].first);
            continue;
        }
        if (arrived == 0) {
            Changed_.wait_until(lock, Line_.front().first);
            continue;
        }
        uhid_event input = {};
        input.type = UHID_INPUT2;
        input.u.input2.size = uint16_t(arrived + 1);
        input.u.input2.data[0] = uint8_t(arrived);
        for (size_t i = 0; i < arrived; ++i) {
            input.u.input2.data[1 + i] = Line_.front().second;
            Line_.pop_front();
        }
        ++NextCut_;
        Sent_.push_back(int(arrived));
        lock.unlock();
        WriteEvent(input);
        lock.lock();
    }
}
