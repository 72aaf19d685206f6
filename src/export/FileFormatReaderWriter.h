#pragma once

#include <string>

// What readers and writers of one file format have in common.
class TFileFormatReaderWriter {
public:
    TFileFormatReaderWriter() = default;
    TFileFormatReaderWriter(const TFileFormatReaderWriter&) = delete;
    TFileFormatReaderWriter& operator=(const TFileFormatReaderWriter&) = delete;
    virtual ~TFileFormatReaderWriter() = default;

    // Shown in the file-type lists of the file dialogs.
    bool Listed = true;
    // The file-name extension without the dot, e.g. "bmp".
    std::string Extension;
    // The format's readable name, used in the file-type lists and in messages.
    std::string Description;
};
