// Saves small pictures of every format and palette through every registered writer with any
// writer options. A writer may refuse with the library's own errors, but must never crash.
#include "FuzzPictures.h"

#include "export/FileFormatWriters.h"
#include "export/WriterOptions.h"
#include "image/PGExceptions.h"
#include "image/StreamErrors.h"

#include <cstdint>
#include <sstream>

namespace {

void ChooseWriterOptions(FuzzedDataProvider& input) {
    TPGWriterOptions& options = WriterOptions();
    options.JPEGWriteDCTMethod = input.ConsumeIntegralInRange<std::uint8_t>(0, 2);
    options.JPEGWriteQuality = input.ConsumeIntegralInRange<std::uint8_t>(0, 100);
    options.JPEGWriteProgressive = input.ConsumeBool();
    options.PXMWriteBinary = input.ConsumeBool();
    options.TIFFWriteCompression = input.ConsumeBool() ? 1 : 32773;
    options.TIFFWriteCMYK = input.ConsumeBool();
    options.TIFFWriteWhiteIsZero = input.ConsumeBool();
    options.TIFFWriteMotorolaOrder = input.ConsumeBool();
    options.TIFFWriteResUnit = input.ConsumeIntegralInRange<std::uint8_t>(0, 2);
    options.TIFFWriteXResNumerator = input.ConsumeIntegral<std::int32_t>();
    options.TIFFWriteXResDenominator = input.ConsumeIntegral<std::int32_t>();
    options.TIFFWriteYResNumerator = input.ConsumeIntegral<std::int32_t>();
    options.TIFFWriteYResDenominator = input.ConsumeIntegral<std::int32_t>();
    options.WriteGamma = input.ConsumeBool();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    ResetWriterOptions();
    ChooseWriterOptions(input);
    const auto image = fuzzpictures::Picture(input);
    image->Gamma = input.ConsumeFloatingPointInRange<long double>(0.5L, 4.0L);
    // Without a window to ask, conversions to what a format can store go ahead silently.
    image->SaveColorResWarningAction = pgwaIgnore;
    image->ReadWarningAction = pgwaIgnore;

    TFileFormatWriters& writers = FileFormatWriters();
    writers.EnsureOrder();
    for (int i = 0; i < writers.Count(); ++i) {
        std::ostringstream out(std::ios::binary);
        try {
            image->SaveToStreamAs(out, writers.Writer(i).Extension);
        } catch (const EPixelGraphic&) {
        } catch (const EStreamError&) {
        }
    }
    return 0;
}
