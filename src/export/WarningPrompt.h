#pragma once

#include <functional>
#include <string>

enum class TPGPromptButtons { OK, OKCancel };
enum class TPGPromptResult { OK, Cancel };

// Shows a warning (caption, text) with the given buttons and returns the user's answer. The
// window program installs a message box; the library itself shows nothing.
using TPGWarningPrompt = std::function<TPGPromptResult(
    const std::string& caption, const std::string& text, TPGPromptButtons buttons)>;

// Installs the prompt; an empty function removes it.
void SetWarningPrompt(TPGWarningPrompt prompt);

// Asks the installed prompt; without one the answer is OK.
TPGPromptResult ShowWarningPrompt(const std::string& caption, const std::string& text,
                                  TPGPromptButtons buttons);
