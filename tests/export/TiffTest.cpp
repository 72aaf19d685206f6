#include "export/Tiff.h"

#include "TestImages.h"
#include "WriterTestSupport.h"
#include "image/PGExceptions.h"
#include "image/StreamErrors.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace testimages;

namespace {

std::string WriteTiff(TPixelGraphic& image) {
    TTIFFileFormatWriter writer;
    std::ostringstream out(std::ios::binary);
    writer.WriteGraphic(out, image);
    return std::move(out).str();
}

// A TIFF file on disk for libtiff to decode; removed with the object.
class TDecodedTiff {
public:
    explicit TDecodedTiff(const std::string& bytes)
        : FPath(std::filesystem::temp_directory_path() /
                ("codecs-tiff-" + std::to_string(::getpid()) + "-" + std::to_string(++Serial) +
                 ".tif")) {
        std::ofstream(FPath, std::ios::binary) << bytes;
        FTiff = TIFFOpen(FPath.c_str(), "r");
    }
    ~TDecodedTiff() {
        if (FTiff)
            TIFFClose(FTiff);
        std::filesystem::remove(FPath);
    }
    TIFF* operator*() const { return FTiff; }

    template <class T> T Field(ttag_t tag) const {
        T value{};
        EXPECT_EQ(TIFFGetField(FTiff, tag, &value), 1) << "tag " << tag;
        return value;
    }
    std::vector<std::uint8_t> Row(int y) const {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(TIFFScanlineSize(FTiff)));
        EXPECT_EQ(TIFFReadScanline(FTiff, row.data(), static_cast<std::uint32_t>(y)), 1);
        return row;
    }

private:
    static inline int Serial = 0;
    std::filesystem::path FPath;
    TIFF* FTiff = nullptr;
};

// Horizontal runs of varying length, so that PackBits has runs and literals to write.
std::unique_ptr<TPixelGraphic> Striped(int width, int height) {
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(width, height, bc24Bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image->SetPixel(x, y, RGB((x / (1 + y % 9)) * 13 % 256, y % 256, (x * y) % 7 * 30));
    return image;
}

void ExpectRGBPixels(const TDecodedTiff& tiff, TPixelGraphic& image) {
    for (int y = 0; y < image.Height(); ++y) {
        const std::vector<std::uint8_t> row = tiff.Row(y);
        for (int x = 0; x < image.Width(); ++x) {
            const TColor c = image.GetPixel(x, y);
            ASSERT_EQ(row[3 * x], GetRValue(c)) << x << "," << y;
            ASSERT_EQ(row[3 * x + 1], GetGValue(c)) << x << "," << y;
            ASSERT_EQ(row[3 * x + 2], GetBValue(c)) << x << "," << y;
        }
    }
}

int NibbleAt(const std::vector<std::uint8_t>& row, int x) {
    return x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
}

// Little-endian file bytes built from the layout rules.
struct TBytes {
    std::string Data;
    TBytes& U16(std::uint32_t v) {
        Data += static_cast<char>(v & 0xFF);
        Data += static_cast<char>(v >> 8);
        return *this;
    }
    TBytes& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    TBytes& Entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t v) {
        U16(tag).U16(type).U32(count);
        return type == 3 && count == 1 ? U16(v).U16(0) : U32(v);
    }
};

// A seekable memory stream that takes no byte beyond `capacity`.
class TLimitedBuffer : public std::stringbuf {
public:
    explicit TLimitedBuffer(std::streamoff capacity) : FCapacity(capacity) {}

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        if (pubseekoff(0, std::ios::cur, std::ios::out) + n > FCapacity)
            return 0;
        return std::stringbuf::xsputn(s, n);
    }

private:
    std::streamoff FCapacity;
};

class TiffTest : public WriterTest {};

} // namespace

TEST_F(TiffTest, WritesTheDirectoryByteForByte) {
    auto image = RedOnBlue();
    const std::string file = WriteTiff(*image);

    // 13 entries end at 8 + 2 + 156; the next-directory field, bits per sample, the two
    // resolutions, then the single strip at 192.
    TBytes expected;
    expected.Data = "II";
    expected.U16(42).U32(8).U16(13);
    expected.Entry(254, 4, 1, 0).Entry(256, 4, 1, 5).Entry(257, 4, 1, 3);
    expected.Entry(258, 3, 3, 170).Entry(259, 3, 1, 1).Entry(262, 3, 1, 2);
    expected.Entry(273, 4, 1, 192).Entry(277, 3, 1, 3).Entry(278, 4, 1, 3);
    expected.Entry(279, 4, 1, 45).Entry(282, 5, 1, 176).Entry(283, 5, 1, 184);
    expected.Entry(296, 3, 1, 2).U32(0);
    expected.U16(8).U16(8).U16(8).U32(300).U32(1).U32(300).U32(1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const bool red = (x == 0 && y == 0) || (x == 4 && y == 2);
            expected.Data += red ? std::string("\xFF\0\0", 3) : std::string("\0\0\xFF", 3);
        }
    EXPECT_EQ(file, expected.Data);
}

TEST_F(TiffTest, MotorolaOrderWritesEveryNumberBigEndian) {
    WriterOptions().TIFFWriteMotorolaOrder = true;
    auto image = RedOnBlue();
    const std::string file = WriteTiff(*image);
    EXPECT_EQ(file.substr(0, 10), std::string("MM\0\x2A\0\0\0\x08\0\x0D", 10));
    // ResolutionUnit is the 13th entry: its SHORT value 2 leads the value field.
    const std::size_t unitEntry = 10 + 12 * 12;
    EXPECT_EQ(file.substr(unitEntry, 12), std::string("\x01\x28\0\x03\0\0\0\x01\0\x02\0\0", 12));
    TDecodedTiff tiff(file);
    ASSERT_TRUE(*tiff);
    EXPECT_TRUE(TIFFIsBigEndian(*tiff));
    ExpectRGBPixels(tiff, *image);
}

TEST_F(TiffTest, LargeImagesAreSplitIntoEvenStripsInBothOrdersAndCompressions) {
    auto image = Striped(400, 300);
    struct TCase {
        bool Motorola;
        std::int32_t Compression;
        std::uint32_t RowsPerStrip;
        std::uint32_t Strips;
    };
    for (const TCase& c : {TCase{false, 1, 27, 12}, TCase{true, 1, 27, 12},
                           TCase{false, 32773, 13, 24}, TCase{true, 32773, 13, 24}}) {
        SCOPED_TRACE(testing::Message() << "MM " << c.Motorola << " compression " << c.Compression);
        WriterOptions().TIFFWriteMotorolaOrder = c.Motorola;
        WriterOptions().TIFFWriteCompression = c.Compression;
        const std::string file = WriteTiff(*image);
        TDecodedTiff tiff(file);
        ASSERT_TRUE(*tiff);
        EXPECT_EQ(tiff.Field<std::uint16_t>(TIFFTAG_COMPRESSION), c.Compression);
        EXPECT_EQ(tiff.Field<std::uint32_t>(TIFFTAG_ROWSPERSTRIP), c.RowsPerStrip);
        ASSERT_EQ(TIFFNumberOfStrips(*tiff), c.Strips);
        std::uint64_t* offsets = nullptr;
        std::uint64_t* counts = nullptr;
        ASSERT_EQ(TIFFGetField(*tiff, TIFFTAG_STRIPOFFSETS, &offsets), 1);
        ASSERT_EQ(TIFFGetField(*tiff, TIFFTAG_STRIPBYTECOUNTS, &counts), 1);
        for (std::uint32_t s = 0; s < c.Strips; ++s) {
            EXPECT_EQ(offsets[s] % 2, 0u) << "strip " << s;
            if (s + 1 < c.Strips) {
                EXPECT_LE(offsets[s] + counts[s], offsets[s + 1]);
            }
        }
        EXPECT_EQ(offsets[c.Strips - 1] + counts[c.Strips - 1], file.size());
        if (c.Compression == 1) {
            EXPECT_EQ(counts[c.Strips - 1], 3u * 1200u); // the last strip holds 3 rows
        }
        ExpectRGBPixels(tiff, *image);
    }
}

TEST_F(TiffTest, CMYKSeparatesBlackFromTheColours) {
    WriterOptions().TIFFWriteCMYK = true;
    auto image = TrueColor(6, 4);
    image->SetPixel(0, 0, RGB(255, 0, 0));
    image->SetPixel(1, 0, RGB(128, 128, 128));
    image->SetPixel(2, 0, RGB(0, 0, 0));
    for (bool packBits : {false, true}) {
        WriterOptions().TIFFWriteCompression = packBits ? 32773 : 1;
        TDecodedTiff tiff(WriteTiff(*image));
        ASSERT_TRUE(*tiff);
        EXPECT_EQ(tiff.Field<std::uint16_t>(TIFFTAG_PHOTOMETRIC), PHOTOMETRIC_SEPARATED);
        EXPECT_EQ(tiff.Field<std::uint16_t>(TIFFTAG_SAMPLESPERPIXEL), 4);
        EXPECT_EQ(tiff.Field<std::uint16_t>(TIFFTAG_BITSPERSAMPLE), 8);
        const std::vector<std::uint8_t> top = tiff.Row(0);
        EXPECT_EQ(std::vector<std::uint8_t>(top.begin(), top.begin() + 12),
                  (std::vector<std::uint8_t>{0, 255, 255, 0, 0, 0, 0, 127, 0, 0, 0, 255}));
        for (int y = 0; y < image->Height(); ++y) {
            const std::vector<std::uint8_t> row = tiff.Row(y);
            for (int x = 0; x < image->Width(); ++x) {
                const TColor c = image->GetPixel(x, y);
                const int k = 255 - std::max({GetRValue(c), GetGValue(c), GetBValue(c)});
                EXPECT_EQ(row[4 * x], 255 - GetRValue(c) - k);
                EXPECT_EQ(row[4 * x + 1], 255 - GetGValue(c) - k);
                EXPECT_EQ(row[4 * x + 2], 255 - GetBValue(c) - k);
                EXPECT_EQ(row[4 * x + 3], k);
            }
        }
    }
}

TEST_F(TiffTest, BilevelRowsArePackedAndInvertedForWhiteIsZero) {
    auto image = BlackWhite(10, 3);
    for (bool whiteIsZero : {false, true}) {
        SCOPED_TRACE(whiteIsZero ? "WhiteIsZero" : "BlackIsZero");
        WriterOptions().TIFFWriteWhiteIsZero = whiteIsZero;
        TDecodedTiff tiff(WriteTiff(*image));
        ASSERT_TRUE(*tiff);
        EXPECT_EQ(tiff.Field<std::uint16_t>(TIFFTAG_PHOTOMETRIC),
                  whiteIsZero ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
        EXPECT_EQ(tiff.Field<std::uint16_t>(TIFFTAG_BITSPERSAMPLE), 1);
        ASSERT_EQ(TIFFScanlineSize(*tiff), 2);
        for (int y = 0; y < 3; ++y) {
            const std::vector<std::uint8_t> row = tiff.Row(y);
            for (int x = 0; x < 10; ++x) {
                const int bit = (row[x / 8] >> (7 - x % 8)) & 1;
                EXPECT_EQ(bit, BlackAt(x, y) == whiteIsZero ? 1 : 0) << x << "," << y;
            }
            EXPECT_EQ(row[1] & 0x3F, 0) << "unused bits of row " << y;
        }
    }
}

TEST_F(TiffTest, GreyImagesCountFromBlackOrFromWhite) {
    auto grey16 = std::make_unique<TPixelGraphic>();
    grey16->SetSize(5, 3, bc4Bit);
    grey16->SetPaletteIdent(pGray16);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            grey16->SetPixel(x, y, (x + 5 * y) % 16);
    auto grey256 = Gray256(5, 3);
    for (bool whiteIsZero : {false, true}) {
        SCOPED_TRACE(whiteIsZero ? "WhiteIsZero" : "BlackIsZero");
        WriterOptions().TIFFWriteWhiteIsZero = whiteIsZero;
        const int photometric = whiteIsZero ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK;
        {
            TDecodedTiff tiff(WriteTiff(*grey16));
            ASSERT_TRUE(*tiff);
            EXPECT_EQ(tiff.Field<std::uint16_t>(TIFFTAG_PHOTOMETRIC), photometric);
            EXPECT_EQ(tiff.Field<std::uint16_t>(TIFFTAG_BITSPERSAMPLE), 4);
            EXPECT_EQ(TIFFGetField(*tiff, TIFFTAG_COLORMAP, nullptr, nullptr, nullptr), 0);
            for (int y = 0; y < 3; ++y) {
                const std::vector<std::uint8_t> row = tiff.Row(y);
                ASSERT_EQ(row.size(), 3u);
                for (int x = 0; x < 5; ++x) {
                    const int index = (x + 5 * y) % 16;
                    EXPECT_EQ(NibbleAt(row, x), whiteIsZero ? 15 - index : index);
                }
                EXPECT_EQ(row[2] & 0x0F, 0);
            }
        }
        TDecodedTiff tiff(WriteTiff(*grey256));
        ASSERT_TRUE(*tiff);
        EXPECT_EQ(tiff.Field<std::uint16_t>(TIFFTAG_PHOTOMETRIC), photometric);
        for (int y = 0; y < 3; ++y) {
            const std::vector<std::uint8_t> row = tiff.Row(y);
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(row[x], whiteIsZero ? 255 - GrayAt(x, y) : GrayAt(x, y));
        }
    }
}

TEST_F(TiffTest, PaletteImagesCarryAColourMap) {
    const std::vector<TColor> colors{RGB(255, 0, 0), RGB(0, 0, 255), RGB(1, 2, 3)};
    for (TPGBitCount bitCount : {bc4Bit, bc8Bit}) {
        for (bool packBits : {false, true}) {
            WriterOptions().TIFFWriteCompression = packBits ? 32773 : 1;
            auto image = Paletted(bitCount, colors, 7, 3);
            const std::string file = WriteTiff(*image);
            EXPECT_EQ(ReadLE16(file, 8), 14u);
            TDecodedTiff tiff(file);
            ASSERT_TRUE(*tiff);
            const int bits = bitCount == bc4Bit ? 4 : 8;
            EXPECT_EQ(tiff.Field<std::uint16_t>(TIFFTAG_PHOTOMETRIC), PHOTOMETRIC_PALETTE);
            EXPECT_EQ(tiff.Field<std::uint16_t>(TIFFTAG_BITSPERSAMPLE), bits);
            std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
            ASSERT_EQ(TIFFGetField(*tiff, TIFFTAG_COLORMAP, &red, &green, &blue), 1);
            for (int i = 0; i < (1 << bits); ++i) {
                const TColor c = i < 3 ? colors[i] : 0;
                EXPECT_EQ(red[i], GetRValue(c) * 256) << i;
                EXPECT_EQ(green[i], GetGValue(c) * 256) << i;
                EXPECT_EQ(blue[i], GetBValue(c) * 256) << i;
            }
            for (int y = 0; y < 3; ++y) {
                const std::vector<std::uint8_t> row = tiff.Row(y);
                for (int x = 0; x < 7; ++x)
                    EXPECT_EQ(bits == 4 ? NibbleAt(row, x) : row[x], (x + 2 * y) % 3);
            }
        }
    }
    auto system16 = std::make_unique<TPixelGraphic>();
    system16->SetSize(4, 2, bc4Bit);
    system16->SetPaletteIdent(pSys16);
    const std::string file = WriteTiff(*system16);
    // The ColorMap entry is the 14th: 48 SHORT values.
    EXPECT_EQ(ReadLE16(file, 10 + 13 * 12), 320u);
    EXPECT_EQ(ReadLE32(file, 10 + 13 * 12 + 4), 48u);
}

TEST_F(TiffTest, ResolutionIsStoredAsSetWithItsUnit) {
    WriterOptions().TIFFWriteResUnit = 2;
    WriterOptions().TIFFWriteXResNumerator = 600;
    WriterOptions().TIFFWriteXResDenominator = 4;
    WriterOptions().TIFFWriteYResNumerator = 7;
    WriterOptions().TIFFWriteYResDenominator = 2;
    auto image = Gray256(3, 2);
    const std::string file = WriteTiff(*image);
    // Grey: no bits-per-sample array, so the rationals follow the directory directly.
    const std::size_t rationals = 8 + 2 + 13 * 12 + 4;
    EXPECT_EQ(ReadLE32(file, 10 + 10 * 12 + 8), rationals);
    EXPECT_EQ(ReadLE32(file, rationals), 600u);
    EXPECT_EQ(ReadLE32(file, rationals + 4), 4u);
    EXPECT_EQ(ReadLE32(file, rationals + 8), 7u);
    EXPECT_EQ(ReadLE32(file, rationals + 12), 2u);
    TDecodedTiff tiff(file);
    ASSERT_TRUE(*tiff);
    EXPECT_EQ(tiff.Field<std::uint16_t>(TIFFTAG_RESOLUTIONUNIT), RESUNIT_CENTIMETER);
    EXPECT_FLOAT_EQ(tiff.Field<float>(TIFFTAG_XRESOLUTION), 150.0f);
    EXPECT_FLOAT_EQ(tiff.Field<float>(TIFFTAG_YRESOLUTION), 3.5f);
}

TEST_F(TiffTest, OffsetsAreRelativeToTheStartOfTheFileInTheStream) {
    auto image = RedOnBlue();
    const std::string alone = WriteTiff(*image);
    std::ostringstream out(std::ios::binary);
    out << "prefix!";
    TTIFFFileFormatWriter writer;
    writer.WriteGraphic(out, *image);
    EXPECT_EQ(out.str(), "prefix!" + alone);
    EXPECT_EQ(static_cast<std::size_t>(out.tellp()), alone.size() + 7);
}

TEST_F(TiffTest, ReportsProgressPerRowAndEndsItOnFailure) {
    auto image = Striped(20, 4);
    std::vector<std::string> events;
    image->OnProgressStart = [&](TPixelGraphic&) { events.push_back("start"); };
    image->OnProgress = [&](TPixelGraphic&, int step, int max, bool&) {
        events.push_back(std::to_string(step) + "/" + std::to_string(max));
    };
    image->OnProgressEnd = [&](TPixelGraphic&) { events.push_back("end"); };
    WriteTiff(*image);
    EXPECT_EQ(events, (std::vector<std::string>{"start", "0/3", "1/3", "2/3", "3/3", "end"}));

    // The directory fits, the rows do not.
    events.clear();
    TLimitedBuffer buffer(250);
    std::ostream out(&buffer);
    TTIFFileFormatWriter writer;
    EXPECT_THROW(writer.WriteGraphic(out, *image), EWriteError);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), "start");
    EXPECT_EQ(events.back(), "end");
}

TEST_F(TiffTest, RefusesWhatItCannotWrite) {
    auto image = RedOnBlue();
    WriterOptions().TIFFWriteCompression = 5;
    try {
        WriteTiff(*image);
        ADD_FAILURE() << "no exception";
    } catch (const EPGTIFFileFormatWriter& e) {
        EXPECT_STREQ(e.what(), "TIFF: Internal Error");
    }
    WriterOptions().TIFFWriteCompression = 1;
    TPixelGraphic empty;
    empty.SetSize(0, 4, bc24Bit);
    try {
        WriteTiff(empty);
        ADD_FAILURE() << "no exception";
    } catch (const EPGTIFFileFormatWriter& e) {
        EXPECT_STREQ(e.what(), "TIFF: Width = 0 or Height = 0");
    }
}

TEST_F(TiffTest, AFullDiskIsAStreamWriteError) {
    auto image = Striped(400, 300);
    std::ofstream full("/dev/full", std::ios::binary);
    ASSERT_TRUE(full.is_open());
    TTIFFileFormatWriter writer;
    EXPECT_THROW(writer.WriteGraphic(full, *image), EWriteError);
}

TEST_F(TiffTest, IsRegisteredForBothExtensions) {
    for (const char* extension : {"tif", "tiff"}) {
        TFileFormatWriter* writer = FileFormatWriters().Find(extension);
        ASSERT_NE(writer, nullptr) << extension;
        EXPECT_NE(dynamic_cast<TTIFFileFormatWriter*>(writer), nullptr);
        EXPECT_EQ(writer->CanWriteResolutions, 253);
        EXPECT_EQ(writer->Description, "Tagged Image File Format");
    }
    EXPECT_NE(dynamic_cast<TTIFFFileFormatWriter*>(FileFormatWriters().Find("tiff")), nullptr);
    EXPECT_TRUE(FileFormatWriters().Find("tif")->Listed);
    EXPECT_FALSE(FileFormatWriters().Find("tiff")->Listed);
}

TEST_F(TiffTest, SavesAFileThroughTheFramework) {
    WriterOptions().TIFFWriteCompression = 32773;
    auto image = Striped(64, 40);
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("codecs-save-" + std::to_string(::getpid()) + ".TIFF");
    image->SaveImageFile(path.string());
    std::ifstream file(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    std::filesystem::remove(path);
    EXPECT_EQ(bytes, WriteTiff(*image));
    TDecodedTiff tiff(bytes);
    ASSERT_TRUE(*tiff);
    ExpectRGBPixels(tiff, *image);
}
