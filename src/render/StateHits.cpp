#include "render/StateHits.h"

#include "render/StateFields.h"

#include <zstd.h>

#include <bit>
#include <memory>
#include <new>
#include <vector>

static_assert(std::endian::native == std::endian::little,
              "the hit arrays are written and read as they lie in memory");

namespace {

struct TCompressorFree {
    void operator()(ZSTD_CCtx* context) const { ZSTD_freeCCtx(context); }
};
struct TDecompressorFree {
    void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};
using TCompressor = std::unique_ptr<ZSTD_CCtx, TCompressorFree>;
using TDecompressor = std::unique_ptr<ZSTD_DCtx, TDecompressorFree>;

// The fastest level: the counters, mostly zeros and small numbers, pack no smaller at the slower
// ones (a 4096x3072 state takes 14 MiB at levels 1 and 3 alike).
constexpr int CompressionLevel = 1;
// A second thread takes a third off a large save, where the library has threads.
constexpr int CompressionThreads = 2;

std::span<const std::byte> CounterBytes(const TSharedHits& hits) {
    return hits.CounterWidth() == TSharedHits::TCounterWidth::Narrow16
               ? std::as_bytes(hits.NarrowCounters())
               : std::as_bytes(hits.WideCounters());
}

std::span<std::byte> CounterBytes(TSharedHits& hits) {
    return hits.CounterWidth() == TSharedHits::TCounterWidth::Narrow16
               ? std::as_writable_bytes(hits.NarrowCounters())
               : std::as_writable_bytes(hits.WideCounters());
}

TCompressor NewCompressor(std::size_t contentBytes, const std::string& name) {
    TCompressor compressor(ZSTD_createCCtx());
    if (!compressor)
        throw std::bad_alloc();
    const auto check = [&](std::size_t result) {
        if (ZSTD_isError(result))
            throw StateFileError(name, std::string("cannot set up the compression: ") +
                                           ZSTD_getErrorName(result));
    };
    check(ZSTD_CCtx_setParameter(compressor.get(), ZSTD_c_compressionLevel, CompressionLevel));
    check(ZSTD_CCtx_setParameter(compressor.get(), ZSTD_c_checksumFlag, 1));
    // Refused by a library built without threads, which then compresses on this one.
    ZSTD_CCtx_setParameter(compressor.get(), ZSTD_c_nbWorkers, CompressionThreads);
    // The frame then names its size, which the decompressor holds it to.
    check(ZSTD_CCtx_setPledgedSrcSize(compressor.get(), contentBytes));
    return compressor;
}

void Compress(ZSTD_CCtx* compressor, std::span<const std::byte> input, ZSTD_EndDirective mode,
              std::vector<char>& buffer, std::ostream& out, const std::string& name) {
    ZSTD_inBuffer in{input.data(), input.size(), 0};
    for (;;) {
        ZSTD_outBuffer chunk{buffer.data(), buffer.size(), 0};
        const std::size_t left = ZSTD_compressStream2(compressor, &chunk, &in, mode);
        if (ZSTD_isError(left))
            throw StateFileError(name, std::string("cannot compress the counters: ") +
                                           ZSTD_getErrorName(left));
        out.write(buffer.data(), static_cast<std::streamsize>(chunk.pos));
        const bool done = mode == ZSTD_e_end ? left == 0 : in.pos == in.size;
        if (done)
            return;
    }
}

// Decompresses the frame into the arrays in turn and checks that it ends exactly with them.
class TFrameReader {
public:
    TFrameReader(std::span<const std::uint8_t> frame, std::size_t offset, const std::string& name)
        : FDecompressor(ZSTD_createDCtx()), FIn{frame.data(), frame.size(), 0}, FOffset(offset),
          FName(name) {
        if (!FDecompressor)
            throw std::bad_alloc();
    }

    void Fill(std::span<std::byte> array) {
        ZSTD_outBuffer out{array.data(), array.size(), 0};
        while (out.pos < out.size) {
            if (FEnded)
                throw EndsEarly();
            Step(out);
        }
    }

    // The frame's end: its checksum checked, nothing produced beyond the arrays, nothing after it.
    void Finish() {
        std::byte extra{};
        while (!FEnded) {
            ZSTD_outBuffer out{&extra, 1, 0};
            Step(out);
            if (out.pos != 0)
                throw StateFileError(FName, "the counters hold more bytes than its width and "
                                            "height imply");
        }
        if (FIn.pos != FIn.size)
            throw StateFileError(FName, "has " + std::to_string(FIn.size - FIn.pos) +
                                            " bytes after the counters");
    }

private:
    // One call of the decompressor. A call that can neither take nor give a byte more finds the
    // frame cut short.
    void Step(ZSTD_outBuffer& out) {
        const std::size_t before = FIn.pos + out.pos;
        const std::size_t left = ZSTD_decompressStream(FDecompressor.get(), &out, &FIn);
        if (ZSTD_isError(left))
            throw StateFileError(FName, "the counters are damaged at offset " +
                                            std::to_string(FOffset + FIn.pos) + ": " +
                                            ZSTD_getErrorName(left));
        FEnded = left == 0;
        if (!FEnded && FIn.pos == FIn.size && FIn.pos + out.pos == before)
            throw EndsEarly();
    }
    ERenderState EndsEarly() const { return StateFileError(FName, "the counters end early"); }

    TDecompressor FDecompressor;
    ZSTD_inBuffer FIn;
    std::size_t FOffset;
    const std::string& FName;
    bool FEnded = false;
};

} // namespace

void WriteHitArrays(const TSharedHits& hits, std::ostream& out, const std::string& name) {
    const std::span<const std::byte> counters = CounterBytes(hits);
    const std::span<const std::byte> keys = std::as_bytes(hits.Keys());
    const TCompressor compressor = NewCompressor(counters.size() + keys.size(), name);
    std::vector<char> buffer(ZSTD_CStreamOutSize());
    Compress(compressor.get(), counters, ZSTD_e_continue, buffer, out, name);
    Compress(compressor.get(), keys, ZSTD_e_end, buffer, out, name);
}

void ReadHitArrays(std::span<const std::uint8_t> frame, std::size_t offset, TSharedHits& hits,
                   const std::string& name) {
    TFrameReader reader(frame, offset, name);
    reader.Fill(CounterBytes(hits));
    reader.Fill(std::as_writable_bytes(hits.Keys()));
    reader.Finish();
}
