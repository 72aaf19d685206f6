#include "export/WarningPrompt.h"

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
    const TPGWarningPrompt& prompt = InstalledPrompt();
    return prompt ? prompt(caption, text, buttons) : TPGPromptResult::OK;
}
