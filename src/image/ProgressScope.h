#pragma once

class TPixelGraphic;

// Brackets a long operation of an image: its start hook when the scope begins, its end hook
// when the scope ends, whether the operation completes, breaks off or throws.
class TProgressScope {
public:
    explicit TProgressScope(TPixelGraphic& image);
    // Lets the end hook's exception pass, except while another one is on its way out: that one
    // says what went wrong, and a second would end the program.
    ~TProgressScope() noexcept(false);
    TProgressScope(const TProgressScope&) = delete;
    TProgressScope& operator=(const TProgressScope&) = delete;

private:
    TPixelGraphic& FImage;
    int FUncaughtAtStart;
};
