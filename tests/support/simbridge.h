#pragma once

// Drives the simulated bridge library that the component under test has loaded: the same file,
// so both share one set of virtual bridges.

#include "hiduartsim_api.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <QtTest>

class SimBridge
{
public:
#ifdef Q_OS_WIN
    static constexpr const char *LibraryFile = "SLABHIDtoUART-sim.dll";
#else
    static constexpr const char *LibraryFile = "libSLABHIDtoUART-sim.so";
#endif

    SimBridge()
    {
        Lib_.setFileName(
            QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(LibraryFile)));
        Lib_.setLoadHints(QLibrary::PreventUnloadHint);
        if (!Lib_.load())
            qFatal("cannot load the simulated bridge library: %s", qPrintable(Lib_.errorString()));
        bind(Plug, "HidUartSim_Plug");
        bind(Unplug, "HidUartSim_Unplug");
        bind(FailNextOpen, "HidUartSim_FailNextOpen");
        bind(SetConfigMismatch, "HidUartSim_SetConfigMismatch");
        bind(SetReadFailure, "HidUartSim_SetReadFailure");
        bind(SetMeterSilent, "HidUartSim_SetMeterSilent");
        bind(SetFramePeriod, "HidUartSim_SetFramePeriod");
        bind(FeedBytes, "HidUartSim_FeedBytes");
        bind(Reset, "HidUartSim_Reset");
        bind(SetUnplugCycle, "HidUartSim_SetUnplugCycle");
    }

    static constexpr const char *DefaultSerial = HIDUARTSIM_DEFAULT_SERIAL;

    HidUartSim_Plug_t Plug = nullptr;
    HidUartSim_Unplug_t Unplug = nullptr;
    HidUartSim_FailNextOpen_t FailNextOpen = nullptr;
    HidUartSim_SetConfigMismatch_t SetConfigMismatch = nullptr;
    HidUartSim_SetReadFailure_t SetReadFailure = nullptr;
    HidUartSim_SetMeterSilent_t SetMeterSilent = nullptr;
    HidUartSim_SetFramePeriod_t SetFramePeriod = nullptr;
    HidUartSim_FeedBytes_t FeedBytes = nullptr;
    HidUartSim_Reset_t Reset = nullptr;
    HidUartSim_SetUnplugCycle_t SetUnplugCycle = nullptr;

    void feed(const char *serial, const QByteArray &bytes)
    {
        QCOMPARE(FeedBytes(serial, reinterpret_cast<const uint8_t *>(bytes.constData()),
                           uint32_t(bytes.size())),
                 HID_UART_SUCCESS);
    }

private:
    template<typename F> void bind(F &fn, const char *name)
    {
        fn = reinterpret_cast<F>(Lib_.resolve(name));
        if (!fn)
            qFatal("the simulated bridge library lacks %s", name);
    }
    QLibrary Lib_;
};
