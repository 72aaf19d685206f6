// Reads any text as a parameter file. The reader may refuse it with its own exception, with a
// short message, but must never crash or take memory beyond its bounds; what it accepts must
// write and read back to the same file.
#include "engine/ParameterFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const TParameterFile file = TParameterFile::FromJson(text);
        const std::string written = file.ToJson();
        if (TParameterFile::FromJson(written).ToJson() != written)
            std::abort();
    } catch (const EParameterFile& error) {
        // Long enough for a path, a reason and a short excerpt; never the input itself.
        if (std::string_view(error.what()).size() > 300)
            std::abort();
    }
    return 0;
}
