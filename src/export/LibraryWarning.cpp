#include "export/LibraryWarning.h"

#include "export/WarningPrompt.h"
#include "image/LibraryMessages.h"

std::optional<std::string> LibraryWarningError(TPGWarningAction action, std::string_view format,
                                               const std::string& message) {
    const std::string prefix = std::string(format) + ": ";
    const std::string caption = std::string(format) + " " + LibraryMessage(28);
    switch (action) {
    case pgwaIgnore:
        return std::nullopt;
    case pgwaOKBox:
        ShowWarningPrompt(caption, message, TPGPromptButtons::OK);
        return std::nullopt;
    case pgwaOKCancelBox:
        if (ShowWarningPrompt(caption, message, TPGPromptButtons::OKCancel) == TPGPromptResult::OK)
            return std::nullopt;
        return prefix + LibraryMessage(29);
    case pgwaRaise:
        break;
    }
    return prefix + message;
}
