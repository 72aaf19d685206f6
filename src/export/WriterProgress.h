#pragma once

class TPixelGraphic;

// The image's progress hooks as the writers call them: each hook only when it is set. Writers
// report progress but never stop on the Abort flag.
void WriterProgressStart(TPixelGraphic& image);
void WriterProgress(TPixelGraphic& image, int step, int max);
void WriterProgressEnd(TPixelGraphic& image);
