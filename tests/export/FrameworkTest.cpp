#include "SaveFolderTest.h"
#include "TestImages.h"

#include "export/ColorResolution.h"
#include "export/WarningPrompt.h"
#include "image/LibraryMessages.h"
#include "image/PGExceptions.h"
#include "image/StreamErrors.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace testimages;
namespace fs = std::filesystem;

namespace {

// The prompt of a freshly started library around each test.
class FrameworkTest : public SaveFolderTest {
protected:
    void TearDown() override {
        SetWarningPrompt(nullptr);
        SaveFolderTest::TearDown();
    }
};

struct TPromptCall {
    std::string Caption, Text;
    TPGPromptButtons Buttons;
};

std::vector<std::string> Extensions(TFileFormatWriters& writers) {
    std::vector<std::string> result;
    for (int i = 0; i < writers.Count(); ++i)
        result.push_back(writers.Writer(i).Extension);
    return result;
}

} // namespace

TEST_F(FrameworkTest, RegistryHoldsOneWriterPerExtensionInOrdinalOrder) {
    TFileFormatWriters& writers = FileFormatWriters();
    writers.EnsureOrder();
    const std::vector<std::string> extensions = Extensions(writers);
    EXPECT_TRUE(std::is_sorted(extensions.begin(), extensions.end()));
    EXPECT_EQ(std::set<std::string>(extensions.begin(), extensions.end()).size(),
              extensions.size());

    struct TExpected {
        const char *Extension, *ClassName, *Description;
        bool Listed;
        int Resolutions;
    };
    for (const TExpected& row :
         {TExpected{"bmp", "TBMPFileFormatWriter", "Bitmap", true, 255},
          TExpected{"dib", "TDIBFileFormatWriter", "Bitmap", false, 255},
          TExpected{"pbm", "TPBMFileFormatWriter", "Portable Bitmap", true, 1},
          TExpected{"pgm", "TPGMFileFormatWriter", "Portable Graymap", true, 32},
          TExpected{"ppm", "TPPMFileFormatWriter", "Portable Pixelmap", true, 128},
          TExpected{"tga", "TTGAFileFormatWriter", "Truevision Targa", true, 192}}) {
        TFileFormatWriter* writer = writers.Find(row.Extension);
        ASSERT_NE(writer, nullptr) << row.Extension;
        EXPECT_EQ(writer->ClassName, row.ClassName);
        EXPECT_EQ(writer->Description, row.Description);
        EXPECT_EQ(writer->Listed, row.Listed) << row.Extension;
        EXPECT_EQ(writer->CanWriteResolutions, row.Resolutions) << row.Extension;
    }
    EXPECT_EQ(writers.Find("BmP"), writers.Find("bmp"));
    EXPECT_EQ(writers.Find("xyz"), nullptr);
    // The writer behind SaveImageStream is a BMP writer of its own.
    EXPECT_EQ(SaveImageStreamWriter().Extension, "bmp");
    EXPECT_NE(&SaveImageStreamWriter(), writers.Find("bmp"));
}

TEST_F(FrameworkTest, RegistryRestoresItsOrderBeforeLookups) {
    TFileFormatWriters writers;
    for (const char* extension : {"tga", "PPM", "bmp", "Dib"}) {
        auto writer = std::make_unique<TFileFormatWriter>();
        writer->Extension = extension;
        writer->Description = std::string("d-") + extension;
        writers.Add(std::move(writer));
    }
    writers.Writer(3).Listed = false; // "Dib", still in registration order
    EXPECT_EQ(writers.Find("ppm")->Extension, "PPM");
    EXPECT_EQ(Extensions(writers), (std::vector<std::string>{"bmp", "Dib", "PPM", "tga"}));
    EXPECT_EQ(writers.FilterString(), "BMP - d-bmp|*.bmp|PPM - d-PPM|*.ppm|TGA - d-tga|*.tga|");
}

TEST_F(FrameworkTest, FilterStringListsTheListedFormats) {
    if (!FileFormatWriters().Find("jpg") || !FileFormatWriters().Find("tif"))
        GTEST_SKIP() << "the JPEG and TIFF writers are not registered in this build";
    EXPECT_EQ(FileFormatWriters().FilterString(),
              "BMP - Bitmap|*.bmp|JPG - JPEG (JFIF compliant)|*.jpg|PBM - Portable Bitmap|*.pbm|"
              "PGM - Portable Graymap|*.pgm|PNG - Portable Network Graphics|*.png|"
              "PPM - Portable Pixelmap|*.ppm|TGA - Truevision Targa|*.tga|"
              "TIF - Tagged Image File Format|*.tif|");
    EXPECT_EQ(Extensions(FileFormatWriters()),
              (std::vector<std::string>{"bmp", "dib", "jif", "jpeg", "jpg", "pbm", "pgm", "png",
                                        "ppm", "tga", "tif", "tiff"}));
}

TEST_F(FrameworkTest, WriterOptionsStartAtTheirDefaults) {
    WriterOptions().JPEGWriteQuality = 12;
    WriterOptions().TIFFWriteMotorolaOrder = true;
    ResetWriterOptions();
    const TPGWriterOptions& o = WriterOptions();
    EXPECT_EQ(o.JPEGWriteDCTMethod, 2);
    EXPECT_EQ(o.JPEGWriteQuality, 80);
    EXPECT_FALSE(o.JPEGWriteProgressive);
    EXPECT_EQ(o.JPEGReadDCTMethod, 0);
    EXPECT_FALSE(o.PXMWriteBinary);
    EXPECT_EQ(o.TIFFWriteCompression, 1);
    EXPECT_FALSE(o.TIFFWriteCMYK);
    EXPECT_FALSE(o.TIFFWriteWhiteIsZero);
    EXPECT_FALSE(o.TIFFWriteMotorolaOrder);
    EXPECT_EQ(o.TIFFWriteResUnit, 1);
    EXPECT_EQ(o.TIFFWriteXResNumerator, 300);
    EXPECT_EQ(o.TIFFWriteXResDenominator, 1);
    EXPECT_EQ(o.TIFFWriteYResNumerator, 300);
    EXPECT_EQ(o.TIFFWriteYResDenominator, 1);
    EXPECT_TRUE(o.WriteGamma);
    EXPECT_TRUE(o.GammaCorrectionOnRead);
}

TEST_F(FrameworkTest, ClassificationFollowsFormatAndPaletteIdentity) {
    const std::vector<TColor> twoColors{RGB(255, 0, 0), RGB(0, 0, 255)};
    std::vector<TColor> sixteen;
    for (int i = 0; i < 16; ++i)
        sixteen.push_back(RGB(16 * i, 255 - 16 * i, 7 * i));
    struct TCase {
        std::unique_ptr<TPixelGraphic> Image;
        TPGColorResolution Expected;
    };
    auto identified = [](TPGBitCount bitCount, TPaletteIdent ident) {
        auto image = std::make_unique<TPixelGraphic>();
        image->SetSize(4, 2, bitCount);
        image->SetPaletteIdent(ident);
        return image;
    };
    std::vector<TCase> cases;
    cases.push_back({BlackWhite(), crBlackWhite});
    cases.push_back({Paletted(bc1Bit, twoColors), cr2Colors});
    cases.push_back({identified(bc4Bit, pGray16), cr16Grays});
    cases.push_back({identified(bc4Bit, pSys16), cr16SysColors});
    cases.push_back({Paletted(bc4Bit, sixteen), cr16Colors});
    cases.push_back({Gray256(), cr256Grays});
    cases.push_back({identified(bc8Bit, pSpecial216), cr256Colors});
    cases.push_back({TrueColor(), crTrueColor});
    for (const TCase& c : cases)
        EXPECT_EQ(ClassifyColorResolution(*c.Image), c.Expected) << c.Expected;

    for (int r = 0; r < ColorResolutionCount; ++r)
        EXPECT_EQ(ColorResolutionText(static_cast<TPGColorResolution>(r)), LibraryMessage(8 + r));
    EXPECT_EQ(ColorResolutionText(crTrueColor), "16.7 million colors");
}

TEST_F(FrameworkTest, SubstitutionTakesTheFirstWritableCandidate) {
    auto choose = [](TPGColorResolution current, TPGColorResolutions writable) {
        TPGColorResolution chosen = current;
        EXPECT_TRUE(ChooseColorResolution(current, writable, chosen));
        return chosen;
    };
    const TPGColorResolutions jpg = 160, tif = 253, tga = 192, pbm = 1, pgm = 32;
    EXPECT_EQ(choose(cr16Colors, jpg), crTrueColor);
    EXPECT_EQ(choose(cr256Grays, jpg), cr256Grays);
    EXPECT_EQ(choose(cr2Colors, tif), cr16Colors);
    EXPECT_EQ(choose(cr2Colors, pbm), crBlackWhite);
    EXPECT_EQ(choose(crTrueColor, pgm), cr256Grays);
    EXPECT_EQ(choose(cr16Grays, tga), cr256Colors);
    EXPECT_EQ(choose(crBlackWhite, tga), cr256Colors);
    EXPECT_EQ(choose(cr16SysColors, 255), cr16SysColors);
    TPGColorResolution chosen;
    EXPECT_FALSE(ChooseColorResolution(crTrueColor, 0, chosen));
    for (int r = 0; r < ColorResolutionCount; ++r) {
        const auto& row = SubstitutionRow(static_cast<TPGColorResolution>(r));
        EXPECT_EQ(row[0], r);
        EXPECT_EQ(std::set<int>(row.begin(), row.end()).size(), 8u);
    }
}

TEST_F(FrameworkTest, RegistryProblemsAreReportedBeforeAnyFileIsOpened) {
    // Puts the registry back as the library starts it, whatever the test did to it.
    struct TRestore {
        ~TRestore() {
            FileFormatWriters().Clear();
            for (const TFileFormatWriterClass& entry : FileFormatWriterClasses())
                FileFormatWriters().Add(CreateRegisteredWriter(entry));
        }
    } restore;
    auto image = TrueColor();

    auto unwritable = std::make_unique<TFileFormatWriter>();
    unwritable->ClassName = "TZZZFileFormatWriter";
    unwritable->Extension = "zzz";
    FileFormatWriters().Add(std::move(unwritable));
    EXPECT_EQ(
        MessageOf<EPGCanWriteResolutionsEmpty>([&] { image->SaveImageFile(PathOf("a.zzz")); }),
        "TZZZFileFormatWriter.CanWriteResolutions is empty");

    FileFormatWriters().Clear();
    EXPECT_EQ(MessageOf<EPGFileFormatWritersEmpty>([&] { image->SaveImageFile(PathOf("a.bmp")); }),
              "FileFormatWriters is empty");
    EXPECT_TRUE(FolderContents().empty());
}

TEST_F(FrameworkTest, ExtensionsCompareWithoutCase) {
    auto image = TrueColor();
    image->SaveImageFile(PathOf("upper.BMP"));
    image->SaveImageFile(PathOf("mixed.Dib"));
    std::ostringstream bmp(std::ios::binary);
    image->SaveImageStream(bmp);
    EXPECT_EQ(ReadFile("upper.BMP"), bmp.str());
    EXPECT_EQ(ReadFile("mixed.Dib"), bmp.str());
    EXPECT_EQ(FolderContents(), (std::set<std::string>{"mixed.Dib", "upper.BMP"}));
}

TEST_F(FrameworkTest, NamesWithoutAKnownExtensionFailBeforeAnyFileIsOpened) {
    auto image = TrueColor();
    EXPECT_EQ(MessageOf<EPGUnknownExtension>([&] { image->SaveImageFile(PathOf("flame")); }),
              "Unknown file extension \"\"");
    EXPECT_EQ(MessageOf<EPGUnknownExtension>([&] { image->SaveImageFile(PathOf("a.b/flame")); }),
              "Unknown file extension \"\"");
    EXPECT_EQ(MessageOf<EPGUnknownExtension>([&] { image->SaveImageFile(PathOf("flame.XyZ")); }),
              "Unknown file extension \"xyz\"");
    EXPECT_TRUE(FolderContents().empty());

    std::ostringstream out;
    EXPECT_EQ(MessageOf<EPGUnknownExtension>([&] { image->SaveToStreamAs(out, ".GIF"); }),
              "Unknown file extension \"gif\"");
    EXPECT_TRUE(out.str().empty());
}

TEST_F(FrameworkTest, StreamSavingWritesAtThePositionAndIgnoresALeadingDot) {
    auto image = RedOnBlue();
    std::ostringstream out(std::ios::binary);
    out << "head";
    image->SaveToStreamAs(out, ".tga");
    const std::string bytes = out.str();
    EXPECT_EQ(bytes.substr(0, 4), "head");
    EXPECT_EQ(bytes.substr(4), SavedBytes(*image, "tga"));
}

TEST_F(FrameworkTest, RaiseRefusesAColorResolutionChangeAndCreatesNoFile) {
    auto image = TrueColor();
    image->SaveColorResWarningAction = pgwaRaise;
    int prompts = 0;
    SetWarningPrompt([&](const std::string&, const std::string&, TPGPromptButtons) {
        ++prompts;
        return TPGPromptResult::OK;
    });
    EXPECT_EQ(MessageOf<EPGCannotWriteColorRes>([&] { image->SaveImageFile(PathOf("f.pgm")); }),
              "The graphic cannot be saved with to a Portable Graymap file with the current "
              "color resolution (16.7 million colors)");
    EXPECT_EQ(MessageOf<EPGCannotWriteColorRes>([&] { image->SaveImageFile(PathOf("f.pbm")); }),
              "The graphic cannot be saved with to a Portable Bitmap file with the current "
              "color resolution (16.7 million colors)");
    EXPECT_EQ(prompts, 0);
    EXPECT_TRUE(FolderContents().empty());
    // A format that takes the resolution needs no warning.
    image->SaveImageFile(PathOf("f.ppm"));
    EXPECT_EQ(FolderContents(), std::set<std::string>{"f.ppm"});
}

TEST_F(FrameworkTest, PromptDecidesAndShowsTheWarningText) {
    auto image = TrueColor();
    std::vector<TPromptCall> calls;
    TPGPromptResult answer = TPGPromptResult::Cancel;
    SetWarningPrompt(
        [&](const std::string& caption, const std::string& text, TPGPromptButtons buttons) {
            calls.push_back({caption, text, buttons});
            return answer;
        });

    EXPECT_THROW(image->SaveImageFile(PathOf("f.pbm")), EPGCannotWriteColorRes);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].Caption, "Warning");
    EXPECT_EQ(calls[0].Text,
              "The graphic cannot be saved to a Portable Bitmap file with the current color "
              "resolution (16.7 million colors).\r\rThe graphic will be saved with a different "
              "color resolution (black and white).");
    EXPECT_EQ(calls[0].Buttons, TPGPromptButtons::OKCancel);
    EXPECT_TRUE(FolderContents().empty());

    answer = TPGPromptResult::OK;
    image->SaveImageFile(PathOf("f.pgm"));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_THAT(calls[1].Text, ::testing::HasSubstr("Portable Graymap"));
    EXPECT_THAT(calls[1].Text, ::testing::HasSubstr("(256 shades of gray)."));
    EXPECT_EQ(ReadFile("f.pgm").substr(0, 11), "P2\n5 3\n255\n");

    // The OK box cannot refuse; ignoring asks nothing.
    answer = TPGPromptResult::Cancel;
    image->SaveColorResWarningAction = pgwaOKBox;
    image->SaveImageFile(PathOf("ok.pbm"));
    EXPECT_EQ(calls.back().Buttons, TPGPromptButtons::OK);
    image->SaveColorResWarningAction = pgwaIgnore;
    image->SaveImageFile(PathOf("ignored.pbm"));
    EXPECT_EQ(calls.size(), 3u);
    EXPECT_EQ(ReadFile("ok.pbm"), ReadFile("ignored.pbm"));
    EXPECT_EQ(ReadFile("ok.pbm").substr(0, 7), "P1\n5 3\n");
}

TEST_F(FrameworkTest, ConversionWritesATemporaryCopyAndLeavesTheSourceAlone) {
    // Without a prompt the default action goes on as if OK was pressed.
    auto image = RedOnBlue();
    std::ostringstream before(std::ios::binary);
    image->SaveImageStream(before);

    // Pure black and white convert without error to diffuse.
    auto pattern = std::make_unique<TPixelGraphic>();
    pattern->SetSize(9, 3, bc24Bit);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 9; ++x)
            pattern->SetPixel(x, y, BlackAt(x, y) ? RGB(0, 0, 0) : RGB(255, 255, 255));
    EXPECT_EQ(SavedBytes(*pattern, "pbm"), SavedBytes(*BlackWhite(), "pbm"));
    EXPECT_EQ(SavedBytes(*image, "pbm"),
              SavedBytes(*ConvertColorResolution(*image, crBlackWhite), "pbm"));

    // Two arbitrary colours as Targa: row 1, 4, 6 -> 256 colours, colour-mapped.
    auto twoColors = Paletted(bc1Bit, {RGB(255, 0, 0), RGB(0, 0, 255)});
    const std::string tga = SavedBytes(*twoColors, "tga");
    EXPECT_EQ(ByteAt(tga, 2), 1);
    EXPECT_EQ(ByteAt(tga, 16), 8);
    const std::size_t entries = ReadLE16(tga, 5);
    ASSERT_EQ(tga.size(), 18 + 3 * entries + 15);
    for (int row = 0; row < 3; ++row)
        for (int x = 0; x < 5; ++x) {
            const std::size_t index = ByteAt(tga, 18 + 3 * entries + 5 * row + x);
            ASSERT_LT(index, entries);
            const TColor expected = twoColors->GetPixelColor(x, 2 - row);
            EXPECT_EQ(ByteAt(tga, 18 + 3 * index), GetBValue(expected));
            EXPECT_EQ(ByteAt(tga, 20 + 3 * index), GetRValue(expected));
        }

    std::ostringstream after(std::ios::binary);
    image->SaveImageStream(after);
    EXPECT_EQ(after.str(), before.str());
    EXPECT_EQ(twoColors->BitCount(), bc1Bit);
}

TEST_F(FrameworkTest, AFailingWriterLeavesNoNewFileAndTheOldFileIntact) {
    TPixelGraphic empty;
    WriteFile("old.ppm", "the old picture");
    EXPECT_EQ(MessageOf<EPGPxMFileFormatWriter>([&] { empty.SaveImageFile(PathOf("old.ppm")); }),
              "PBM, PGM, PPM: Width = 0 or Height = 0");
    EXPECT_THROW(empty.SaveImageFile(PathOf("new.ppm")), EPGPxMFileFormatWriter);
    EXPECT_EQ(FolderContents(), std::set<std::string>{"old.ppm"});
    EXPECT_EQ(ReadFile("old.ppm"), "the old picture");

    // A failure after some rows went out.
    auto image = TrueColor(8, 300);
    image->OnProgress = [](TPixelGraphic&, int step, int, bool&) {
        if (step == 200)
            throw std::runtime_error("disk gone");
    };
    EXPECT_THROW(image->SaveImageFile(PathOf("old.ppm")), std::runtime_error);
    EXPECT_THROW(image->SaveImageFile(PathOf("new.tga")), std::runtime_error);
    EXPECT_EQ(FolderContents(), std::set<std::string>{"old.ppm"});
    EXPECT_EQ(ReadFile("old.ppm"), "the old picture");
}

TEST_F(FrameworkTest, EveryWriterEndsItsProgressWhenARowFails) {
    for (const char* extension : {"tga", "ppm", "tif", "jpg", "png"}) {
        if (!FileFormatWriters().Find(extension))
            continue;
        SCOPED_TRACE(extension);
        auto image = TrueColor(8, 40);
        const TFailingProgress progress(*image, 3);
        EXPECT_THROW(SavedBytes(*image, extension), std::runtime_error);
        EXPECT_EQ(progress.Starts, 1);
        EXPECT_EQ(progress.Ends, 1);
    }
}

TEST_F(FrameworkTest, FilesTakeEveryFormatAsStreamsDo) {
    // Includes writers that seek back to patch what they wrote earlier.
    auto image = TrueColor(300, 40);
    for (const char* extension : {"bmp", "ppm", "tga", "tif", "png", "jpg"}) {
        if (!FileFormatWriters().Find(extension))
            continue;
        const std::string name = std::string("same.") + extension;
        image->SaveImageFile(PathOf(name));
        EXPECT_EQ(ReadFile(name), SavedBytes(*image, extension)) << extension;
    }
    WriterOptions().TIFFWriteCompression = 32773;
    WriteFile("packed.tif", std::string(100000, 'x'));
    image->SaveImageFile(PathOf("packed.tif"));
    EXPECT_EQ(ReadFile("packed.tif"), SavedBytes(*image, "tif"));
}
