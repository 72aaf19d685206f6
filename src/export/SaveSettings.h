#pragma once

#include "export/WarningPrompt.h"
#include "export/WriterOptions.h"

// What one save uses instead of the process-wide settings: its writer options, and the prompt
// its warnings go to (none: every warning is answered OK). A save from a worker thread takes
// its own, so that it neither races with a save of the window nor shows a message box.
struct TPGSaveSettings {
    TPGWriterOptions Writer;
    TPGWarningPrompt Prompt;
};

// The writer options of the save running on this thread: its own when it was given settings,
// the process-wide ones otherwise. Writers read their options only through this.
const TPGWriterOptions& WriterOptionsInForce();

// Makes `settings` those of the saves on this thread while it lives.
class TSaveSettingsScope {
public:
    explicit TSaveSettingsScope(const TPGSaveSettings& settings);
    ~TSaveSettingsScope();
    TSaveSettingsScope(const TSaveSettingsScope&) = delete;
    TSaveSettingsScope& operator=(const TSaveSettingsScope&) = delete;

    // The settings in force on this thread; null outside any scope.
    static const TPGSaveSettings* Current();

private:
    const TPGSaveSettings* FPrevious;
};
