#pragma once

#include "tmeterstate.h"

// What the decoder tells the rest of the program while it latches a frame. Every hook does
// nothing by default, so a front end only overrides what it shows; the decoder calls them in a
// fixed order because several refreshes read what earlier steps stored.
class TMeterHooks
{
public:
    virtual ~TMeterHooks() = default;

    virtual void ShowHold(const TMeterState &) {}
    virtual void ShowRelative(const TMeterState &) {}
    virtual void ShowLcr(const TMeterState &) {}
    virtual void ShowAuto(const TMeterState &) {}
    virtual void ShowBattery(const TMeterState &) {}
    virtual void ShowFrequency(const TMeterState &) {}
    virtual void ShowSorting(const TMeterState &) {}
    virtual void ShowMainMode(const TMeterState &) {}
    virtual void ShowMainUnit(const TMeterState &) {}
    virtual void ShowMainStatus(const TMeterState &) {}
    virtual void ShowSubMode(const TMeterState &) {}
    virtual void ShowSubUnit(const TMeterState &) {}
    virtual void ShowSubStatus(const TMeterState &) {}

    virtual void SetAxisMin(double) {}
    virtual void SetAxisMax(double) {}
    virtual void SetBarMax(int) {}

    // "Repeat": record every frame rather than only changed readings.
    virtual bool RecordEveryFrame() const { return true; }
    // Runs after every refresh of a frame that is to be recorded; it may rewrite MainText
    // and LastRecordedText together.
    virtual void RecordReading(TMeterState &) {}
};
