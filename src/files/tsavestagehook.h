#pragma once

#include <functional>

// A seam in front of the moment a save replaces its file, for tests that must hold a save's
// thread exactly there. Nothing in the program sets it.

// Where a save's thread stands when the hook is called (on that thread, no lock held).
enum class TSaveStage {
    // Every byte is in the temporary file; a cancel that arrives now still leaves the old file.
    BeforeCommit,
    // The save has decided to replace the file; a cancel that arrives now is too late.
    Committing,
};

// Called by every save started after it is set; an empty function removes it.
void SetSaveStageHook(std::function<void(TSaveStage)> hook);
