#pragma once

// Holds the thread of every save started while it lives at the moment every byte is in the
// temporary file and the old file is still untouched, until the test lets it go: a save that
// lasts exactly as long as the test needs, whatever the machine's speed or load.

#include "tsavestagehook.h"

#include <QSemaphore>

class HeldSave
{
public:
    HeldSave()
    {
        SetSaveStageHook([this](TSaveStage stage) {
            if (stage == TSaveStage::BeforeCommit) {
                Reached_.release();
                Release_.acquire();
            }
        });
    }
    ~HeldSave()
    {
        Release_.release(); // never leave a save's thread waiting
        SetSaveStageHook({});
    }
    HeldSave(const HeldSave &) = delete;
    HeldSave &operator=(const HeldSave &) = delete;

    // Whether a save has come to the moment (once per save).
    bool reached() { return Reached_.tryAcquire(); }
    void letGo() { Release_.release(); }

private:
    QSemaphore Reached_, Release_;
};
