#include "BenchPicture.h"

#include "export/WriterOptions.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <exception>
#include <filesystem>
#include <streambuf>
#include <string>

namespace {

// A seekable in-memory stream target (the TIFF writer seeks back into its directory) that
// keeps its storage between saves, so that the figures show the writers, not the allocator.
class TSeekableMemorySink : public std::streambuf {
public:
    void Clear() {
        FData.clear();
        FPosition = 0;
    }
    std::size_t Size() const { return FData.size(); }

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        const std::size_t count = static_cast<std::size_t>(n);
        if (FPosition + count > FData.size())
            FData.resize(FPosition + count);
        std::memcpy(FData.data() + FPosition, s, count);
        FPosition += count;
        return n;
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        xsputn(&ch, 1);
        return c;
    }
    pos_type seekoff(off_type offset, std::ios::seekdir way, std::ios::openmode) override {
        const off_type origin = way == std::ios::beg   ? 0
                                : way == std::ios::cur ? static_cast<off_type>(FPosition)
                                                       : static_cast<off_type>(FData.size());
        if (origin + offset < 0)
            return pos_type(off_type(-1));
        FPosition = static_cast<std::size_t>(origin + offset);
        return pos_type(static_cast<off_type>(FPosition));
    }
    pos_type seekpos(pos_type position, std::ios::openmode which) override {
        return seekoff(off_type(position), std::ios::beg, which);
    }

private:
    std::string FData;
    std::size_t FPosition = 0;
};

// The three codec cases: PNG with the library defaults, JPEG at quality 80 (the default) and
// TIFF with PackBits.
void SetOptions(const std::string& extension) {
    ResetWriterOptions();
    if (extension == "tif")
        WriterOptions().TIFFWriteCompression = 32773;
}

// JPEG with the integer DCT that Pillow uses, beside the floating-point default.
void WriteJpegIntegerDCT(benchmark::State& state) {
    auto image = BenchPicture();
    ResetWriterOptions();
    WriterOptions().JPEGWriteDCTMethod = 0;
    TSeekableMemorySink sink;
    std::ostream out(&sink);
    for (auto _ : state) {
        sink.Clear();
        image->SaveToStreamAs(out, "jpg");
    }
    ResetWriterOptions();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sink.Size()));
}

// The writer alone: SaveToStreamAs into memory. Bytes/s count the file written.
void Write(benchmark::State& state, const std::string& extension) {
    auto image = BenchPicture();
    SetOptions(extension);
    TSeekableMemorySink sink;
    std::ostream out(&sink);
    try {
        for (auto _ : state) {
            sink.Clear();
            out.clear();
            image->SaveToStreamAs(out, extension);
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
    ResetWriterOptions();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sink.Size()));
    state.counters["file_bytes"] = static_cast<double>(sink.Size());
}

// What a user gets, and what Pillow is measured doing: SaveImageFile into the temporary folder.
void SaveFile(benchmark::State& state, const std::string& extension) {
    auto image = BenchPicture();
    SetOptions(extension);
    const std::string name =
        (std::filesystem::temp_directory_path() / ("quarn-codec-bench." + extension)).string();
    try {
        for (auto _ : state)
            image->SaveImageFile(name);
    } catch (const std::exception& e) {
        ResetWriterOptions();
        state.SkipWithError(e.what());
        return;
    }
    ResetWriterOptions();
    const auto size = std::filesystem::file_size(name);
    std::filesystem::remove(name);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    state.counters["file_bytes"] = static_cast<double>(size);
}

} // namespace

BENCHMARK_CAPTURE(Write, png, std::string("png"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Write, jpeg_quality80, std::string("jpg"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Write, tiff_packbits, std::string("tif"))->Unit(benchmark::kMillisecond);
BENCHMARK(WriteJpegIntegerDCT)
    ->Name("Write/jpeg_quality80_integer_dct")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SaveFile, png, std::string("png"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SaveFile, jpeg_quality80, std::string("jpg"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SaveFile, tiff_packbits, std::string("tif"))->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
