// Reads any command line as quarn-render's: the arguments are the input split at its zero
// bytes. The parser may refuse a line with its own exception but must never crash, and what it
// accepts must be a render the render job takes.
#include "app/render/RenderOptions.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    try {
        const TRenderOptions options = ParseRenderOptions(args);
        if (options.Width < 1 || options.Height < 1 || options.Steps < 1 ||
            options.Steps < options.Threads || options.Supersample < 1 ||
            options.Supersample > TRenderSettings::MaxSupersample)
            std::abort();
        // An animation's frames never depend on the threads: their orbits are fixed.
        if (options.Animation() && (options.Orbits < 1 || options.OutFile.empty()))
            std::abort();
    } catch (const ERenderUsage&) {
    }
    return 0;
}
