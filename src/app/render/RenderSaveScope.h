#pragma once

#include "export/WriterOptions.h"

#include <iosfwd>

struct TRenderOptions;

// The process-wide save settings of one quarn-render run: the options' writer settings and
// screen gamma, and a warning prompt that prints each warning on `err` and answers OK, as a
// program without windows cannot ask. The settings found before are back when it ends.
class TRenderSaveScope {
public:
    TRenderSaveScope(const TRenderOptions& options, std::ostream& err);
    ~TRenderSaveScope();
    TRenderSaveScope(const TRenderSaveScope&) = delete;
    TRenderSaveScope& operator=(const TRenderSaveScope&) = delete;

private:
    TPGWriterOptions FSavedOptions;
    long double FSavedScreenGamma;
};
