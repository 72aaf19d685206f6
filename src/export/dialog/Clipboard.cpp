#include "export/dialog/Clipboard.h"

#include "image/LibraryMessages.h"
#include "image/LittleEndian.h"
#include "image/PGExceptions.h"
#include "image/PixelGraphic.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <memory>
#include <vector>

namespace {

// The bitmap as a BMP file: the file header in front of the DIB's header, palette and pixels.
QByteArray BmpFile(const std::vector<std::uint8_t>& dib) {
    if (dib.size() < TPixelGraphic::BitmapInfoHeaderSize)
        throw EPixelGraphic(FormatLibraryMessage(31, "CopyToClipboard"));
    const std::uint32_t bitCount = GetLE16(dib.data() + 14);
    std::uint32_t colors = GetLE32(dib.data() + 32);
    if (colors == 0 && bitCount <= 8)
        colors = 1u << bitCount;
    QByteArray file(TPixelGraphic::BitmapFileHeaderSize, '\0');
    auto* header = reinterpret_cast<std::uint8_t*>(file.data());
    header[0] = 'B';
    header[1] = 'M';
    PutLE32(header + 2,
            static_cast<std::uint32_t>(TPixelGraphic::BitmapFileHeaderSize + dib.size()));
    PutLE32(header + 10, TPixelGraphic::BitmapFileHeaderSize + GetLE32(dib.data()) + 4 * colors);
    file.append(reinterpret_cast<const char*>(dib.data()), static_cast<qsizetype>(dib.size()));
    return file;
}

} // namespace

void CopyToClipboard(const TPixelGraphic& image) {
    const QByteArray file = BmpFile(image.CopyToClipboard());
    const QImage decoded = QImage::fromData(file, "BMP");
    if (decoded.isNull())
        throw EPixelGraphic(FormatLibraryMessage(31, "CopyToClipboard"));
    auto data = std::make_unique<QMimeData>();
    data->setImageData(decoded);
    data->setData(QStringLiteral("image/bmp"), file);
    QGuiApplication::clipboard()->setMimeData(data.release());
}
