#pragma once

#include "export/FileFormatWriter.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One row of the writer table: how to make a writer and what it registers as.
struct TFileFormatWriterClass {
    const char* ClassName;
    std::unique_ptr<TFileFormatWriter> (*Create)();
    const char* Extension;
    const char* Description;
    bool Listed;
    TPGColorResolutions CanWriteResolutions;
};

template <class TWriter> std::unique_ptr<TFileFormatWriter> CreateFileFormatWriter() {
    return std::make_unique<TWriter>();
}

// Makes the writer of one table row with the row's registration data.
std::unique_ptr<TFileFormatWriter> CreateRegisteredWriter(const TFileFormatWriterClass& entry);

// Every writer class in registration order.
const std::vector<TFileFormatWriterClass>& FileFormatWriterClasses();

// The registry of writers, one per extension. It keeps itself in ordinal order of the
// lower-cased extensions: every lookup first restores that order.
class TFileFormatWriters {
public:
    void Add(std::unique_ptr<TFileFormatWriter> writer);
    void Clear();
    int Count() const { return static_cast<int>(FWriters.size()); }
    // The n-th writer (from 0) in the current order.
    TFileFormatWriter& Writer(int index) const { return *FWriters[index]; }
    // Sorts the list when any neighbouring pair is out of order.
    void EnsureOrder();
    // The first writer whose extension equals `extension` ignoring case, or nullptr; restores
    // the order first.
    TFileFormatWriter* Find(std::string_view extension);
    // The listed writers in order.
    std::vector<TFileFormatWriter*> ListedWriters();
    // "BMP - Bitmap|*.bmp|..." over the listed writers, for the save dialog.
    std::string FilterString();

private:
    std::vector<std::unique_ptr<TFileFormatWriter>> FWriters;
};

// The process's registry, filled from the writer table when first used (the library's start-up
// runs on that first use, see StartExportLibrary).
TFileFormatWriters& FileFormatWriters();

// The separate BMP writer that serves SaveImageStream; not in the registry.
TFileFormatWriter& SaveImageStreamWriter();

// The extension after the last dot of a file name's last part, without the dot; empty without
// one.
std::string FileNameExtension(const std::string& fileName);

// Extensions compare without case, letter by letter in the C locale.
std::string LowerCase(std::string_view text);
std::string UpperCase(std::string_view text);

// One format's entry of a file dialog's type list: "PNG - Portable Network Graphics|*.png|".
std::string FilterEntry(std::string_view extension, std::string_view description);

// Runs the library's start-up in its fixed order: message-table check, the separate BMP
// writer, the registry. Later calls do nothing.
void StartExportLibrary();
