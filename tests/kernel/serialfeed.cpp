// The far end of the guest's second serial port: a meter sending its frames at 9600 baud, one
// character time per byte, two frames a second, from the scene's first frame on. It starts
// when the guest sends it a byte (so no frame waits in a pipe while the port is closed) and
// runs until the line goes away.
#include "virtualmeter.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <unistd.h>

namespace {

void addNs(timespec &t, long ns)
{
    t.tv_nsec += ns;
    while (t.tv_nsec >= 1'000'000'000L) {
        t.tv_nsec -= 1'000'000'000L;
        ++t.tv_sec;
    }
}

void sleepUntil(const timespec &t)
{
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

} // namespace

int main()
{
    constexpr long CharacterNs = 10'000'000'000L / 9600; // start, 8 data, stop bit
    constexpr long FrameNs = 1'000'000'000L / VirtualMeter::FramesPerSecond;
    std::signal(SIGPIPE, SIG_DFL);
    char go;
    if (::read(STDIN_FILENO, &go, 1) != 1)
        return 0;
    timespec frameAt;
    clock_gettime(CLOCK_MONOTONIC, &frameAt);
    for (uint64_t k = 0;; ++k) {
        timespec byteAt = frameAt;
        for (const uint8_t b : VirtualMeter::frameAt(k % VirtualMeter::SceneFrames)) {
            addNs(byteAt, CharacterNs);
            sleepUntil(byteAt);
            if (::write(STDOUT_FILENO, &b, 1) != 1)
                return 0;
        }
        addNs(frameAt, FrameNs);
        sleepUntil(frameAt);
    }
}
