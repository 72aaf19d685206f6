#include "TestImages.h"
#include "WriterTestSupport.h"

#include "export/Pnm.h"
#include "image/PGExceptions.h"
#include "image/StreamErrors.h"

#include <gmock/gmock.h>

#include <cstdio>

using namespace testimages;

namespace {

class PnmTest : public WriterTest {};

std::string ExpectedAsciiPixmap(const TPixelGraphic& image) {
    std::string text =
        "P3\n" + std::to_string(image.Width()) + " " + std::to_string(image.Height()) + "\n255\n";
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            const TColor c = TrueColorAt(x, y);
            char value[32];
            std::snprintf(value, sizeof value, "%s%d %d %d", x ? " " : "", GetRValue(c),
                          GetGValue(c), GetBValue(c));
            text += value;
        }
        text += "\n";
    }
    return text;
}

} // namespace

TEST_F(PnmTest, AsciiLayoutsFollowTheRowsFromTheTop) {
    EXPECT_EQ(SavedBytes(*TrueColor(3, 2), "ppm"),
              "P3\n3 2\n255\n10 5 200 50 5 170 90 5 140\n10 85 193 50 85 163 90 85 133\n");
    EXPECT_EQ(SavedBytes(*Gray256(), "pgm"),
              "P2\n5 3\n255\n3 20 37 54 71\n104 121 138 155 172\n205 222 239 0 17\n");
    EXPECT_EQ(SavedBytes(*BlackWhite(), "pbm"),
              "P1\n9 3\n1 1 0 0 1 1 1 0 0\n0 0 0 0 0 0 0 0 0\n1 0 1 1 0 1 0 1 1\n");
}

TEST_F(PnmTest, BinaryLayoutsHaveNoSeparatorsAfterTheHeader) {
    WriterOptions().PXMWriteBinary = true;
    const std::string pixmap = SavedBytes(*TrueColor(3, 2), "ppm");
    EXPECT_EQ(pixmap, std::string("P6\n3 2\n255\n"
                                  "\x0a\x05\xc8\x32\x05\xaa\x5a\x05\x8c"
                                  "\x0a\x55\xc1\x32\x55\xa3\x5a\x55\x85",
                                  11 + 18));
    EXPECT_EQ(
        SavedBytes(*Gray256(), "pgm"),
        std::string("P5\n5 3\n255\n\x03\x14\x25\x36\x47\x68\x79\x8a\x9b\xac\xcd\xde\xef", 11 + 13) +
            std::string("\x00\x11", 2));
    // Width 9: two bytes per row, black is a 1 bit, the padding bits come out inverted.
    EXPECT_EQ(SavedBytes(*BlackWhite(), "pbm"),
              std::string("P4\n9 3\n\xce\x7f\x00\x7f\xb5\xff", 13));
}

TEST_F(PnmTest, OutputGoesOutInBlocksOf1024Bytes) {
    auto image = TrueColor(40, 10);
    TRecordingBuffer buffer;
    std::ostream stream(&buffer);
    image->SaveToStreamAs(stream, "ppm");

    EXPECT_EQ(buffer.Data, ExpectedAsciiPixmap(*image));
    ASSERT_GT(buffer.Writes.size(), 2u);
    for (std::size_t i = 0; i + 1 < buffer.Writes.size(); ++i)
        EXPECT_EQ(buffer.Writes[i], 1024u) << "block " << i;
    EXPECT_GT(buffer.Writes.back(), 0u);
    EXPECT_LE(buffer.Writes.back(), 1024u);
}

TEST_F(PnmTest, AShortBlockWriteRaisesTheStreamsWriteError) {
    auto image = TrueColor(40, 10);
    TRecordingBuffer buffer(1500);
    std::ostream stream(&buffer);
    EXPECT_THROW(image->SaveToStreamAs(stream, "ppm"), EWriteError);
    EXPECT_EQ(buffer.Data.size(), 1500u);
}

TEST_F(PnmTest, RefusalsCarryTheirPrefixesAndWriteNothing) {
    auto expectRefusal = [](TFileFormatWriter& writer, TPixelGraphic& image,
                            const std::string& message) {
        TRecordingBuffer buffer;
        std::ostream stream(&buffer);
        try {
            writer.WriteGraphic(stream, image);
            ADD_FAILURE() << "no refusal: " << message;
        } catch (const EPGPxMFileFormatWriter& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
        EXPECT_TRUE(buffer.Writes.empty()) << message;
    };
    auto trueColor = TrueColor();
    auto gray = Gray256();
    expectRefusal(*MakeWriter("pbm"), *trueColor, "PBM: Invalid color resolution");
    expectRefusal(*MakeWriter("pgm"), *trueColor, "PGM: Invalid color resolution");
    expectRefusal(*MakeWriter("ppm"), *gray, "PPM: Invalid color resolution");

    TPixelGraphic empty;
    expectRefusal(*MakeWriter("ppm"), empty, "PBM, PGM, PPM: Width = 0 or Height = 0");
    TPGMFileFormatWriter stray;
    stray.Extension = "pxm";
    expectRefusal(stray, *gray, "PBM, PGM, PPM: Unknown file extension \"pxm\"");
}

TEST_F(PnmTest, ProgressIsReportedPerRowFromTheTop) {
    auto image = TrueColor(4, 3);
    std::vector<std::string> calls;
    image->OnProgressStart = [&](TPixelGraphic& sender) {
        EXPECT_EQ(&sender, image.get());
        calls.push_back("start");
    };
    image->OnProgress = [&](TPixelGraphic&, int step, int max, bool&) {
        calls.push_back(std::to_string(step) + "/" + std::to_string(max));
    };
    image->OnProgressEnd = [&](TPixelGraphic&) { calls.push_back("end"); };
    SavedBytes(*image, "ppm");
    EXPECT_THAT(calls, ::testing::ElementsAre("start", "0/3", "1/3", "2/3", "end"));

    // A failing row still ends the progress.
    calls.clear();
    image->OnProgress = [&](TPixelGraphic&, int step, int, bool&) {
        calls.push_back(std::to_string(step));
        throw std::runtime_error("stop");
    };
    EXPECT_THROW(SavedBytes(*image, "ppm"), std::runtime_error);
    EXPECT_THAT(calls, ::testing::ElementsAre("start", "0", "end"));
}
