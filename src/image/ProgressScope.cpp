#include "image/ProgressScope.h"

#include "image/PixelGraphic.h"

#include <exception>

TProgressScope::TProgressScope(TPixelGraphic& image)
    : FImage(image), FUncaughtAtStart(std::uncaught_exceptions()) {
    FImage.ProgressStart();
}

TProgressScope::~TProgressScope() noexcept(false) {
    if (std::uncaught_exceptions() == FUncaughtAtStart) {
        FImage.ProgressEnd();
        return;
    }
    try {
        FImage.ProgressEnd();
    } catch (...) {
        // Dropped: the exception already unwinding is the one the caller sees.
        return;
    }
}
