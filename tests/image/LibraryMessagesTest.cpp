#include "image/LibraryMessages.h"
#include "image/PGExceptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

TEST(LibraryMessagesTest, TableHasEightyFourNumberedRowsWithEnglishTexts) {
    ASSERT_EQ(PGLangStrEntries.size(), 84u);
    for (std::size_t i = 0; i < PGLangStrEntries.size(); ++i) {
        const TPGLangStrEntry& entry = PGLangStrEntries[i];
        EXPECT_EQ(entry.Number, static_cast<int>(i));
        // Every language but the user's column.
        for (std::size_t language = 0; language < entry.Texts.size() - 1; ++language)
            EXPECT_EQ(entry.Texts[language].empty(), i == 0) << "row " << i;
        EXPECT_EQ(entry.Texts[static_cast<std::size_t>(TPGLanguage::User)].empty(), i != 25)
            << "row " << i;
    }
    EXPECT_EQ(PGLanguageIndex, TPGLanguage::English);
    EXPECT_EQ(LibraryMessage(0), "");
    EXPECT_EQ(LibraryMessage(1), "X, Y index out of range");
    EXPECT_EQ(LibraryMessage(21), "Negative height");
    EXPECT_EQ(LibraryMessage(22), "Negative width");
    EXPECT_EQ(LibraryMessage(41), "%S1 out of range");
    EXPECT_EQ(LibraryMessage(42), "OK");
    EXPECT_EQ(LibraryMessage(69), "Brightness, Contrast, Gamma Filter");
    EXPECT_EQ(LibraryMessage(83), "°");
    EXPECT_THROW(LibraryMessage(84), std::out_of_range);
}

TEST(LibraryMessagesTest, FormattingReplacesTheFirstOccurrenceOfEachPlaceholder) {
    EXPECT_EQ(FormatLibraryMessage(16, "PixelGraphic"), "PixelGraphic is empty");
    EXPECT_EQ(FormatLibraryMessage(19, "xyz"), "Unknown file extension \"xyz\"");
    EXPECT_EQ(FormatLibraryMessage(31, "CreateDIBSection"), "CreateDIBSection failed");
    EXPECT_EQ(FormatLibraryMessage(17, "BMP", "16 colors", "256 colors"),
              "The graphic cannot be saved to a BMP file with the current color resolution "
              "(16 colors).\r\rThe graphic will be saved with a different color resolution "
              "(256 colors).");
    // Later occurrences stay; placeholders are never looked for inside the inserted values.
    EXPECT_EQ(FormatMessageText("%S1-%S1 %S3 %S2", "a", "b", "c"), "a-%S1 c b");
    EXPECT_EQ(FormatMessageText("%S1 and %S2", "%S2", "x"), "%S2 and x");
    EXPECT_EQ(FormatLibraryMessage(1, "unused"), "X, Y index out of range");
}

TEST(LibraryMessagesTest, StartUpCheckNamesTheFirstMisplacedRow) {
    EXPECT_NO_THROW(InitLibraryMessages());
    EXPECT_EQ(PGLanguageIndex, TPGLanguage::English);

    std::vector<TPGLangStrEntry> entries(PGLangStrEntries.begin(), PGLangStrEntries.end());
    std::swap(entries[5], entries[6]);
    try {
        CheckLangStrEntriesOrder(entries);
        FAIL() << "a swapped table passed the check";
    } catch (const EPixelGraphic& e) {
        EXPECT_STREQ(e.what(), "PGLangStrEntries order wrong 5 and 6 are not identical");
    }
}

template <typename E> class LibraryExceptionTest : public testing::Test {};
using LibraryExceptions =
    testing::Types<EPGXYIndexOutOfRange, EPGNoPalette, EPGInvalidPaletteIndex, EPGEmpty,
                   EPGCanWriteResolutionsEmpty, EPGCannotWriteColorRes, EPGFileFormatWritersEmpty,
                   EPGUnknownExtension, EPGUnknownFileFormat, EPGUnknownClipboardFormat,
                   EPGBMPFileFormatReader, EPGJPGFileFormatReaderWriter,
                   EPGPNGFileFormatReaderWriter, EPGPCXFileFormatReader, EPGPxMFileFormatReader,
                   EPGPxMFileFormatWriter, EPGTGAFileFormatReader, EPGTIFFileFormatReader,
                   EPGTIFFileFormatWriter, EPGInvalidBitCountNum, EPGInvalidSize>;
TYPED_TEST_SUITE(LibraryExceptionTest, LibraryExceptions);

TYPED_TEST(LibraryExceptionTest, IsCaughtAsALibraryErrorWithItsMessage) {
    try {
        throw TypeParam(FormatLibraryMessage(16, "PixelGraphic"));
    } catch (const EPixelGraphic& e) {
        EXPECT_STREQ(e.what(), "PixelGraphic is empty");
        EXPECT_NE(dynamic_cast<const TypeParam*>(&e), nullptr);
    }
}
