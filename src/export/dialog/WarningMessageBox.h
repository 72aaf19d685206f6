#pragma once

#include "export/WarningPrompt.h"

#include <string>

// The library's warnings as modal message boxes with the warning icon: the caption as given
// ("Warning", "JPG Warning", "PNG Warning"), the text with its carriage returns as line breaks,
// OK or OK and Cancel. Closing the box or Escape answers Cancel.
TPGPromptResult ShowWarningMessageBox(const std::string& caption, const std::string& text,
                                      TPGPromptButtons buttons);

// Makes the message boxes the library's warning prompt.
void InstallWarningMessageBox();
