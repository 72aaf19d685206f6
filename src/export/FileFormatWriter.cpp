#include "export/FileFormatWriter.h"

void TFileFormatWriter::WriteGraphic(std::ostream&, TPixelGraphic&) {}

void TFileFormatWriter::WriteHeader(std::ostream&) {}

void TFileFormatWriter::WriteImage(std::ostream&, TPixelGraphic&) {}

void TFileFormatWriter::WriteTrailer(std::ostream&) {}
