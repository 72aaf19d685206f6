#pragma once

#include "engine/FractalParams.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// A parameter file that cannot be read or written; the text names the file or the field.
class EParameterFile : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Everything that decides a picture, kept as one JSON document: the settings of the parameter
// block, the rotation limit and step, the 120 coefficients, the view of the plane, the image
// size, the display tick and, where known, the clock value the coefficients were drawn from.
class TParameterFile {
public:
    static constexpr std::string_view FormatName = "quarn-ifs parameters";
    static constexpr int FormatVersion = 1;
    // The largest picture side a file may ask for: the renderer's limit.
    static constexpr int MaxImageSide = 8192;
    // Far above any real parameter file (they take about 4 KiB); files come from other people.
    static constexpr std::size_t MaxFileBytes = std::size_t{4} << 20;

    // Only the settings, coefficients, Tick, ImageWidth and ImageHeight of the block are kept.
    TFractalParams Params;
    double CenterX = 0.0;
    double CenterY = 0.0;
    double Magnification = 0.5;
    std::optional<std::uint32_t> DrawClock;

    // Doubles are written in their shortest form that reads back to the same bits.
    std::string ToJson() const;
    // Throws EParameterFile naming the first field that is missing, of the wrong type or out of
    // range, or the version it does not know. Fields it does not know are ignored.
    static TParameterFile FromJson(std::string_view text);

    // Written through a temporary that replaces the file only when complete, as pictures are:
    // a failed save keeps the old file. Throws the image library's stream exceptions.
    void Save(const std::string& fileName) const;
    // Reads only a regular file of at most MaxFileBytes; throws EParameterFile with the file's
    // name and the system's reason, the kind of file refused, or the first fault.
    static TParameterFile Load(const std::string& fileName);
};
