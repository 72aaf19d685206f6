#include "export/WarningPrompt.h"

#include "export/SaveSettings.h"

#include <utility>

namespace {

TPGWarningPrompt& InstalledPrompt() {
    static TPGWarningPrompt prompt;
    return prompt;
}

} // namespace

void SetWarningPrompt(TPGWarningPrompt prompt) {
    InstalledPrompt() = std::move(prompt);
}

TPGPromptResult ShowWarningPrompt(const std::string& caption, const std::string& text,
                                  TPGPromptButtons buttons) {
    // A save with settings of its own answers its warnings there, also when it has no prompt.
    const TPGSaveSettings* settings = TSaveSettingsScope::Current();
    const TPGWarningPrompt& prompt = settings ? settings->Prompt : InstalledPrompt();
    return prompt ? prompt(caption, text, buttons) : TPGPromptResult::OK;
}
