#pragma once

#include <iosfwd>

struct TRenderOptions;

// quarn-render --gallery: renders the contact sheet the options ask for, saves it and, with
// --write-params-dir, each cell's parameter file and an index. Returns the exit code.
int RunGalleryCommand(const TRenderOptions& options, std::ostream& out, std::ostream& err);
