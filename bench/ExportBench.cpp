#include "BenchPicture.h"

#include "export/WriterOptions.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <streambuf>
#include <string>

namespace {

// An in-memory stream target that keeps its storage between saves, so that the figures show
// the writers rather than the allocator.
class TMemorySink : public std::streambuf {
public:
    void Clear() { FData.clear(); }
    std::size_t Size() const { return FData.size(); }

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        FData.append(s, static_cast<std::size_t>(n));
        return n;
    }
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof()))
            FData.push_back(traits_type::to_char_type(c));
        return traits_type::not_eof(c);
    }

private:
    std::string FData;
};

void SetBinary(bool binary) {
    ResetWriterOptions();
    WriterOptions().PXMWriteBinary = binary;
}

// The writer alone: SaveToStreamAs into memory. Bytes/s count the file written.
void Write(benchmark::State& state, const std::string& extension, bool binary) {
    auto image = BenchPicture();
    SetBinary(binary);
    TMemorySink sink;
    std::ostream out(&sink);
    for (auto _ : state) {
        sink.Clear();
        image->SaveToStreamAs(out, extension);
    }
    ResetWriterOptions();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sink.Size()));
    state.counters["file_bytes"] = static_cast<double>(sink.Size());
}

// What a user gets: SaveImageFile of a file in the temporary folder.
void SaveFile(benchmark::State& state, const std::string& extension, bool binary) {
    auto image = BenchPicture();
    SetBinary(binary);
    const std::string name =
        (std::filesystem::temp_directory_path() / ("quarn-export-bench." + extension)).string();
    for (auto _ : state)
        image->SaveImageFile(name);
    ResetWriterOptions();
    const auto size = std::filesystem::file_size(name);
    std::filesystem::remove(name);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    state.counters["file_bytes"] = static_cast<double>(size);
}

} // namespace

BENCHMARK_CAPTURE(Write, bmp, std::string("bmp"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Write, ppm_binary, std::string("ppm"), true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Write, ppm_ascii, std::string("ppm"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Write, tga, std::string("tga"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SaveFile, bmp, std::string("bmp"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SaveFile, ppm_binary, std::string("ppm"), true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SaveFile, ppm_ascii, std::string("ppm"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SaveFile, tga, std::string("tga"), false)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
