#include "export/WriterOptions.h"

#include "image/ScreenGamma.h"

TPGWriterOptions& WriterOptions() {
    static TPGWriterOptions options;
    return options;
}

void ResetWriterOptions() {
    WriterOptions() = TPGWriterOptions{};
    ScreenGamma() = 1.8L;
}
