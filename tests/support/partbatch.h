#pragma once

// A batch of parts measured one after another, as the meter sends it: each part's capacitance in
// nF with one decimal (so one count is 0.1 nF), status words between parts. Header only; the
// capture form needs the device library.

#include "tcapturefile.h"
#include "tframeencoder.h"

#include <QByteArray>
#include <QList>

struct TPartStep
{
    double Nf = 0;  // ignored unless Status is 0
    int Status = 0; // 0 a number, 3 OL, 9 OPEN
    int Frames = 1; // the same display this many times
    bool Hold = false;
    bool Relative = false;
};
using TPartSteps = QList<TPartStep>;

inline constexpr int PartOL = 3, PartOPEN = 9;

inline QByteArray partFrame(const TPartStep &step)
{
    TFrameFields f;
    f.Auto = true;
    f.Battery = 3;
    f.Frequency = 2;
    f.MainMode = 2;  // Cs
    f.MainUnit = 10; // nF
    f.MainDecimals = 1;
    f.MainValue = step.Status == 0 ? int(step.Nf * 10 + (step.Nf < 0 ? -0.5 : 0.5)) : 0;
    f.MainStatus = step.Status;
    f.Hold = step.Hold;
    f.Relative = step.Relative;
    return EncodeFrame(f);
}

// Every frame of the steps with its time, frameMs apart from 0.
template<typename Fn> void forEachPartFrame(const TPartSteps &steps, int frameMs, Fn &&fn)
{
    qint64 t = 0;
    for (const TPartStep &s : steps) {
        const QByteArray frame = partFrame(s);
        for (int i = 0; i < s.Frames; ++i, t += frameMs)
            fn(frame, t);
    }
}

// The steps as a capture file's text.
inline QByteArray partCapture(const TPartSteps &steps, int frameMs)
{
    QByteArray text = "# Lumetra capture 1\n";
    forEachPartFrame(steps, frameMs, [&](const QByteArray &frame, qint64 t) {
        text +=
            CaptureLine(t, reinterpret_cast<const std::uint8_t *>(frame.constData()), frame.size());
    });
    return text;
}

// nf held on the probes for the given number of frames, the reading wobbling within a count or
// two as a real part's does.
inline TPartSteps partHeld(double nf, int frames)
{
    static constexpr double wobble[] = {0, 0.1, -0.1, 0.2, 0, -0.2, 0.1};
    TPartSteps steps;
    for (int i = 0; i < frames; ++i)
        steps.append(TPartStep{nf + wobble[i % 7]});
    return steps;
}

// A batch: each value held for heldFrames, the probes OPEN for two frames before each part.
inline TPartSteps partBatch(const QList<double> &nfs, int heldFrames)
{
    TPartSteps steps;
    for (double nf : nfs)
        steps += TPartSteps{{0, PartOPEN, 2}} + partHeld(nf, heldFrames);
    return steps + TPartSteps{{0, PartOPEN, 2}};
}
