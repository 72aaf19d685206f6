#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

// The languages of the message table, in column order; User is a column the user may fill.
enum class TPGLanguage { English, German, French, Dutch, Spanish, User };

constexpr int PGLanguageCount = 6;
constexpr int PGLangStrEntryCount = 84;

// One row of the message table: its own row number and its text per language column.
struct TPGLangStrEntry {
    int Number;
    std::array<std::string_view, PGLanguageCount> Texts;
};

// Row 0 is empty; rows 1-41 are messages, 42-83 captions of filter dialogs.
extern const std::array<TPGLangStrEntry, PGLangStrEntryCount> PGLangStrEntries;

// The column that LibraryMessage reads; English from the library's start on.
extern TPGLanguage PGLanguageIndex;

std::string LibraryMessage(int row);

// `text` with the first "%S1", "%S2" and "%S3" replaced by s1, s2 and s3; later occurrences
// stay as they are.
std::string FormatMessageText(std::string_view text, std::string_view s1, std::string_view s2 = {},
                              std::string_view s3 = {});

// The row's text with the first "%S1", "%S2" and "%S3" replaced by s1, s2 and s3.
std::string FormatLibraryMessage(int row, std::string_view s1, std::string_view s2 = {},
                                 std::string_view s3 = {});

// Raises EPixelGraphic naming the first row whose stored number differs from its position.
void CheckLangStrEntriesOrder(std::span<const TPGLangStrEntry> entries);

// The library's start-up for messages: checks the table's order and selects English.
void InitLibraryMessages();
