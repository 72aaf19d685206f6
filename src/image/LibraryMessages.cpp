#include "image/LibraryMessages.h"

#include "image/PGExceptions.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

// A row whose other language columns repeat the English text; the user column stays empty.
constexpr TPGLangStrEntry Row(int number, std::string_view english, std::string_view user = {}) {
    return {number, {english, english, english, english, english, user}};
}

} // namespace

constexpr std::array<TPGLangStrEntry, PGLangStrEntryCount> PGLangStrEntries = {{
    Row(0, ""),
    Row(1, "X, Y index out of range"),
    Row(2, "No palette"),
    Row(3, "Invalid palette index"),
    Row(4, "Unknown clipboard format"),
    Row(5, "Invalid temporary file"),
    Row(6, "Unknown file format"),
    Row(7, "%S1 invalid"),
    Row(8, "black and white"),
    Row(9, "2 colors"),
    Row(10, "16 shades of gray"),
    Row(11, "16 system colors"),
    Row(12, "16 colors"),
    Row(13, "256 shades of gray"),
    Row(14, "256 colors"),
    Row(15, "16.7 million colors"),
    Row(16, "%S1 is empty"),
    Row(17, "The graphic cannot be saved to a %S1 file with the current color resolution "
            "(%S2).\r\rThe graphic will be saved with a different color resolution (%S3)."),
    Row(18,
        "The graphic cannot be saved with to a %S1 file with the current color resolution (%S2)"),
    Row(19, "Unknown file extension \"%S1\""),
    Row(20, "Invalid value for %S1"),
    Row(21, "Negative height"),
    Row(22, "Negative width"),
    Row(23, "Cannot apply this filter to a source that is identical to the target"),
    Row(24, "bit"),
    Row(25, "Image files", "Image files"),
    Row(26, "All files"),
    Row(27, "Invalid size of %S1"),
    Row(28, "Warning"),
    Row(29, "Operation aborted on user request"),
    Row(30, "Not supported subformat"),
    Row(31, "%S1 failed"),
    Row(32, "Unexpected end of file"),
    Row(33, "Unknown subformat"),
    Row(34, "Not a %S1 file"),
    Row(35, "Width = 0 or Height = 0"),
    Row(36, "Invalid color resolution"),
    Row(37, "Unsupported field type %S1"),
    Row(38, "Invalid count of bytes in row %S1"),
    Row(39, "Unsupported Compression"),
    Row(40, "Saturation=0 and Hue defined"),
    Row(41, "%S1 out of range"),
    Row(42, "OK"),
    Row(43, "Cancel"),
    Row(44, "RGB Filter"),
    Row(45, "R"),
    Row(46, "G"),
    Row(47, "B"),
    Row(48, "CMY Filter"),
    Row(49, "C"),
    Row(50, "M"),
    Row(51, "Y"),
    Row(52, "YCbCr Filter"),
    Row(53, "Y"),
    Row(54, "Cb"),
    Row(55, "Cr"),
    Row(56, "HLS Filter"),
    Row(57, "H"),
    Row(58, "L"),
    Row(59, "S"),
    Row(60, "HSV Filter"),
    Row(61, "V"),
    Row(62, "Negative Filter"),
    Row(63, "Gamma"),
    Row(64, "RGB"),
    Row(65, "Y"),
    Row(66, "Brightness"),
    Row(67, "Contrast"),
    Row(68, "Apply on"),
    Row(69, "Brightness, Contrast, Gamma Filter"),
    Row(70, "Grayscale Filter"),
    Row(71, "RGB weighting"),
    Row(72, "Std. deviation"),
    Row(73, "Strength"),
    Row(74, "Sharpen"),
    Row(75, "Detail"),
    Row(76, "Smooth"),
    Row(77, "Radius"),
    Row(78, "Blur"),
    Row(79, "Contour"),
    Row(80, "White"),
    Row(81, "Black"),
    Row(82, "±"),
    Row(83, "°"),
}};

namespace {

constexpr bool RowsInOrder() {
    for (int i = 0; i < PGLangStrEntryCount; ++i)
        if (PGLangStrEntries[i].Number != i)
            return false;
    return true;
}
static_assert(RowsInOrder(), "every message row must carry its own position");

} // namespace

TPGLanguage PGLanguageIndex = TPGLanguage::English;

std::string LibraryMessage(int row) {
    return std::string(PGLangStrEntries.at(row).Texts[static_cast<std::size_t>(PGLanguageIndex)]);
}

std::string FormatMessageText(std::string_view text, std::string_view s1, std::string_view s2,
                              std::string_view s3) {
    // Placeholders are looked up in the original text only, so that a value which itself
    // contains "%S2" or "%S3" is never substituted into.
    const std::pair<std::string_view, std::string_view> placeholders[] = {
        {"%S1", s1}, {"%S2", s2}, {"%S3", s3}};
    constexpr std::size_t placeholderLength = 3;
    std::vector<std::pair<std::size_t, std::string_view>> found;
    for (const auto& [placeholder, value] : placeholders) {
        const auto at = text.find(placeholder);
        if (at != std::string_view::npos)
            found.emplace_back(at, value);
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string result;
    std::size_t copied = 0;
    for (const auto& [at, value] : found) {
        result.append(text.substr(copied, at - copied));
        result.append(value);
        copied = at + placeholderLength;
    }
    result.append(text.substr(copied));
    return result;
}

std::string FormatLibraryMessage(int row, std::string_view s1, std::string_view s2,
                                 std::string_view s3) {
    return FormatMessageText(
        PGLangStrEntries.at(row).Texts[static_cast<std::size_t>(PGLanguageIndex)], s1, s2, s3);
}

void CheckLangStrEntriesOrder(std::span<const TPGLangStrEntry> entries) {
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].Number != static_cast<int>(i))
            throw EPixelGraphic("PGLangStrEntries order wrong " + std::to_string(i) + " and " +
                                std::to_string(entries[i].Number) + " are not identical");
}

void InitLibraryMessages() {
    CheckLangStrEntriesOrder(PGLangStrEntries);
    PGLanguageIndex = TPGLanguage::English;
}
