#pragma once

class TPixelGraphic;

// Places the image on the clipboard as the library's device-independent bitmap: as BMP file
// data ("image/bmp") and as an image for programs that take Qt's image formats.
void CopyToClipboard(const TPixelGraphic& image);
