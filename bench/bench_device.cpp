// The live device path, measured against the simulated bridge:
//  - GUI-thread time per received block: from the reader's hand-off event to the end of every
//    handler (decode, panel, chart, recording), with the line saturated by frames;
//  - the reader's idle cost: process CPU time per minute while connected to a silent meter;
//  - the same two for the serial port component, open on a pseudo-terminal.
#include "../tests/support/frames.h"
#include "../tests/support/processlimits.h"
#include "../tests/support/pty.h"
#include "../tests/support/simbridge.h"
#include "../tests/support/statehome.h"
#include "tccomm.h"
#include "tcp2110.h"
#include "tframeencoder.h"
#include "tfrmmain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

// Times every delivery of a received block on the GUI thread.
class TimingApp : public QApplication
{
public:
    using QApplication::QApplication;
    QObject *Component = nullptr;
    std::vector<double> Micros;

    bool notify(QObject *receiver, QEvent *event) override
    {
        // The reader's hand-off arrives at the component's hand-off child.
        if (receiver->parent() != Component || event->type() != QEvent::User)
            return QApplication::notify(receiver, event);
        QElapsedTimer t;
        t.start();
        const bool done = QApplication::notify(receiver, event);
        Micros.push_back(double(t.nsecsElapsed()) / 1000.0);
        return done;
    }
};

// Lets the event loop run for a while, sleeping when there is nothing to do.
void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TimingApp app(argc, argv);
    const TTemporaryStateHome state;
    SimBridge sim;
    sim.Reset();
    sim.SetMeterSilent(SimBridge::DefaultSerial, 1);

    TStartOptions options;
    options.Simulate = true;
    TfrmMain w(options);
    w.show();
    app.Component = w.CP21101;

    // Idle: connected, nothing on the line.
    const double baseStart = cpuSeconds();
    spin(10000);
    const double baseline = cpuSeconds() - baseStart;
    w.Panel3->btnConnect->click();
    if (!w.CP21101->Connected()) {
        std::fprintf(stderr, "could not connect to the simulated bridge\n");
        return 1;
    }
    // A silent meter is what the watchdog exists for; here the silence is the point.
    w.timerDisconectedUSB->stop();
    const double idleStart = cpuSeconds();
    spin(20000);
    const double idle = cpuSeconds() - idleStart;

    // Saturated line: frames back to back at 9600 baud (56 frames/s).
    QByteArray frames;
    for (int i = 0; i < 1200; ++i) {
        TFrameFields f = workedFields();
        f.MainValue = 1200 + i % 70;
        frames += EncodeFrame(f);
    }
    sim.feed(SimBridge::DefaultSerial, frames);
    app.Micros.clear();
    spin(15000);
    w.Panel3->btnConnect->click();
    const std::vector<double> bridgeMicros = app.Micros;

    // The serial port on a pseudo-terminal: silent, then one frame every 17.7 ms, the rate of a
    // saturated 9600 baud line; a pseudo-terminal passes each frame on at once.
    TPty pty;
    w.CComm1->SetCommPort(pty.Name);
    w.CComm1->Open();
    app.Component = w.CComm1;
    const double serialIdleStart = cpuSeconds();
    spin(20000);
    const double serialIdle = cpuSeconds() - serialIdleStart;
    app.Micros.clear();
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        auto next = std::chrono::steady_clock::now();
        for (int i = 0; writing; ++i) {
            pty.Write(frames.mid((i % 1200) * 17, 17));
            next += std::chrono::microseconds(17708);
            std::this_thread::sleep_until(next);
        }
    });
    spin(15000);
    writing = false;
    writer.join();
    w.CComm1->Close();
    const std::vector<double> serialMicros = app.Micros;

    std::printf("reader idle cost: %.3f CPU s per minute connected to a silent meter "
                "(%.3f s per minute not connected)\n",
                idle * 3.0, baseline * 6.0);
    const auto perBlock = [](const char *what, const std::vector<double> &micros) {
        std::printf("%s: GUI-thread time per received block (%zu blocks, saturated line): "
                    "median %.1f us, 95th percentile %.1f us, max %.1f us\n",
                    what, micros.size(), percentile(micros, 0.5), percentile(micros, 0.95),
                    percentile(micros, 1.0));
    };
    perBlock("bridge", bridgeMicros);
    std::printf("serial port reader idle cost: %.3f CPU s per minute open on a silent line\n",
                serialIdle * 3.0);
    perBlock("serial port", serialMicros);
    return 0;
}
