#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class TPixelGraphic;

// Writes lines of text into a 24-bit picture with a TrueType font through FreeType, each glyph's
// coverage blended over what is there.
class TTextPainter {
public:
    // Throws std::runtime_error naming the font file when FreeType cannot open it.
    TTextPainter(const std::string& fontFile, int pixelHeight);
    ~TTextPainter();
    TTextPainter(const TTextPainter&) = delete;
    TTextPainter& operator=(const TTextPainter&) = delete;

    // The text's left end at x, its baseline at y, UTF-8, in the colour 0x00BBGGRR; what falls
    // right of clipRight or outside the picture is cut.
    void Draw(TPixelGraphic& picture, int x, int baseline, std::string_view text,
              std::uint32_t colour, int clipRight) const;
    // The distance from one baseline to the next.
    int LineHeight() const;
    // DejaVu Sans where Debian keeps it (fonts-dejavu-core).
    static constexpr const char* DefaultFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

private:
    struct TFreeType;
    std::unique_ptr<TFreeType> FFreeType;
};
