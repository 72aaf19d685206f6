#pragma once

#include "export/FileFormatWriters.h"
#include "export/WriterOptions.h"
#include "image/PixelGraphic.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace testimages {

// A writer made from its row of the writer table, as the registry makes it.
inline std::unique_ptr<TFileFormatWriter> MakeWriter(std::string_view extension) {
    for (const TFileFormatWriterClass& entry : FileFormatWriterClasses())
        if (entry.Extension == extension)
            return CreateRegisteredWriter(entry);
    ADD_FAILURE() << "no writer class for " << extension;
    return nullptr;
}

// What the framework writes for `extension` into a fresh stream.
inline std::string SavedBytes(TPixelGraphic& image, const std::string& extension) {
    std::ostringstream out(std::ios::binary);
    image.SaveToStreamAs(out, extension);
    return std::move(out).str();
}

// Records the size of every block handed to it and takes at most `capacity` bytes.
class TRecordingBuffer : public std::streambuf {
public:
    explicit TRecordingBuffer(std::size_t capacity = std::string::npos) : FCapacity(capacity) {}
    std::vector<std::size_t> Writes;
    std::string Data;

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        Writes.push_back(static_cast<std::size_t>(n));
        const std::size_t taken =
            std::min(static_cast<std::size_t>(n), FCapacity - std::min(FCapacity, Data.size()));
        Data.append(s, taken);
        return static_cast<std::streamsize>(taken);
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
    }

private:
    std::size_t FCapacity;
};

// Writer options back at their defaults around each test.
class WriterTest : public ::testing::Test {
protected:
    void SetUp() override { ResetWriterOptions(); }
    void TearDown() override { ResetWriterOptions(); }
};

} // namespace testimages
