#include "render/TextPainter.h"

#include "image/PixelGraphic.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <stdexcept>

namespace {

// The next code point of UTF-8 text; a malformed byte stands for itself.
char32_t NextCodePoint(std::string_view text, std::size_t& at) {
    const auto byte = static_cast<unsigned char>(text[at++]);
    const int more = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 0;
    if (more == 0 || at + more > text.size())
        return byte;
    char32_t code = byte & (0x3F >> more);
    for (int i = 0; i < more; ++i)
        code = code << 6 | (static_cast<unsigned char>(text[at++]) & 0x3F);
    return code;
}

std::uint8_t Blend(std::uint8_t under, std::uint8_t over, unsigned coverage) {
    return static_cast<std::uint8_t>((under * (255 - coverage) + over * coverage + 127) / 255);
}

} // namespace

struct TTextPainter::TFreeType {
    FT_Library Library = nullptr;
    FT_Face Face = nullptr;
    ~TFreeType() {
        if (Face)
            FT_Done_Face(Face);
        if (Library)
            FT_Done_FreeType(Library);
    }
};

TTextPainter::TTextPainter(const std::string& fontFile, int pixelHeight)
    : FFreeType(std::make_unique<TFreeType>()) {
    if (FT_Init_FreeType(&FFreeType->Library) != 0)
        throw std::runtime_error("FreeType could not start");
    if (FT_New_Face(FFreeType->Library, fontFile.c_str(), 0, &FFreeType->Face) != 0)
        throw std::runtime_error("cannot open the font \"" + fontFile + "\"");
    if (FT_Set_Pixel_Sizes(FFreeType->Face, 0, static_cast<FT_UInt>(pixelHeight)) != 0)
        throw std::runtime_error("the font \"" + fontFile + "\" has no size of " +
                                 std::to_string(pixelHeight) + " pixels");
}

TTextPainter::~TTextPainter() = default;

int TTextPainter::LineHeight() const {
    return static_cast<int>(FFreeType->Face->size->metrics.height >> 6);
}

void TTextPainter::Draw(TPixelGraphic& picture, int x, int baseline, std::string_view text,
                        std::uint32_t colour, int clipRight) const {
    clipRight = std::min(clipRight, picture.Width() - 1);
    FT_Face face = FFreeType->Face;
    const std::uint8_t red = colour & 0xFF, green = colour >> 8 & 0xFF, blue = colour >> 16 & 0xFF;
    FT_UInt previous = 0;
    for (std::size_t at = 0; at < text.size();) {
        const FT_UInt glyph = FT_Get_Char_Index(face, NextCodePoint(text, at));
        if (previous && glyph && FT_HAS_KERNING(face)) {
            FT_Vector kerning;
            FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &kerning);
            x += static_cast<int>(kerning.x >> 6);
        }
        previous = glyph;
        if (FT_Load_Glyph(face, glyph, FT_LOAD_RENDER) != 0)
            continue;
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const int y = baseline - slot->bitmap_top + static_cast<int>(row);
            if (y < 0 || y >= picture.Height())
                continue;
            std::uint8_t* line = picture.ScanLine(y);
            for (unsigned column = 0; column < bitmap.width; ++column) {
                const int px = x + slot->bitmap_left + static_cast<int>(column);
                const unsigned coverage = bitmap.buffer[row * bitmap.pitch + column];
                if (px < 0 || px > clipRight || coverage == 0)
                    continue;
                // Rows of blue, green, red.
                std::uint8_t* pixel = line + px * 3;
                pixel[0] = Blend(pixel[0], blue, coverage);
                pixel[1] = Blend(pixel[1], green, coverage);
                pixel[2] = Blend(pixel[2], red, coverage);
            }
        }
        x += static_cast<int>(slot->advance.x >> 6);
    }
}
