#pragma once

#include "tmetersource.h"

class TCP2110;

// The meter behind a CP2110 bridge, real or simulated: the bridge named by its serial text.
class TBridgeSource : public TMeterSource
{
    Q_OBJECT
public:
    // libraryFile as for TCP2110 (the real or the simulated bridge library).
    explicit TBridgeSource(const QString &libraryFile, QObject *parent = nullptr);

    // The component itself, for the device list and its arrival and removal events.
    TCP2110 *Bridge() const { return Bridge_; }
    bool HasLibrary() const;
    // Why the bridge library could not be loaded ("DLL File is not Exists!"); empty text when
    // it was.
    const TNotice &LibraryNotice() const { return LibraryNotice_; }

    // The bridge to open by its serial text; an empty one names the first bridge present.
    void SetSerial(const QString &serial);
    // Before opening again what went away: the first bridge present when any was asked for,
    // else the one by that serial text (the window's device choice may have moved on).
    void ChooseAgain(const QString &serial);

    QString Name() const override;
    bool Open(TNotice &failure) override;
    void Close() override;
    bool IsOpen() const override;
    void SetPaused(bool paused) override;

private:
    TNotice LibraryNotice_;
    bool AnyBridge_ = false;
    TCP2110 *Bridge_;
};
