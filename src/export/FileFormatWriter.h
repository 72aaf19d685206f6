#pragma once

#include "export/ColorResolution.h"
#include "export/FileFormatReaderWriter.h"

#include <iosfwd>
#include <mutex>
#include <string>

class TPixelGraphic;

// A writer of one file format. The save framework hands it only images whose colour resolution
// is in CanWriteResolutions; it writes at the stream's position and never closes the stream.
class TFileFormatWriter : public TFileFormatReaderWriter {
public:
    // The class's own name, used in messages ("TPBMFileFormatWriter").
    std::string ClassName = "TFileFormatWriter";
    TPGColorResolutions CanWriteResolutions = 0;
    // Held by a save while it writes: a writer may keep the parts of a file between its steps,
    // so saves on several threads take turns with one writer.
    std::mutex Writing;

    // Writes the whole image as one file of the format.
    virtual void WriteGraphic(std::ostream& stream, TPixelGraphic& image);
    // Steps of a writer that builds its file in three parts.
    virtual void WriteHeader(std::ostream& stream);
    virtual void WriteImage(std::ostream& stream, TPixelGraphic& image);
    virtual void WriteTrailer(std::ostream& stream);
};
