#include "app/render/RenderSaveScope.h"

#include "app/render/RenderOptions.h"
#include "export/WarningPrompt.h"
#include "image/ScreenGamma.h"

#include <ostream>
#include <string>

namespace {

// The message table separates paragraphs with carriage returns, which a terminal would use
// to overwrite the line: each run of them becomes one line break.
std::string TerminalText(const std::string& text) {
    std::string shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            shown += text[i];
        } else if (i == 0 || text[i - 1] != '\r') {
            shown += '\n';
        }
    }
    return shown;
}

} // namespace

TRenderSaveScope::TRenderSaveScope(const TRenderOptions& options, std::ostream& err)
    : FSavedOptions(WriterOptions()), FSavedScreenGamma(ScreenGamma()) {
    WriterOptions() = options.Writer;
    ScreenGamma() = options.ScreenGamma;
    SetWarningPrompt([&err](const std::string& caption, const std::string& text, TPGPromptButtons) {
        err << "quarn-render: " << caption << ": " << TerminalText(text) << "\n";
        return TPGPromptResult::OK;
    });
}

TRenderSaveScope::~TRenderSaveScope() {
    SetWarningPrompt(nullptr);
    WriterOptions() = FSavedOptions;
    ScreenGamma() = FSavedScreenGamma;
}
