#pragma once

#include <QString>

#include <png.h>

#include <vector>

// A PNG file decoded by libpng into 8-bit RGB; empty pixels when it cannot be read.
struct TPngPicture {
    unsigned Width = 0;
    unsigned Height = 0;
    std::vector<png_byte> Pixels;

    explicit TPngPicture(const QString& fileName) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, fileName.toLocal8Bit().constData()))
            return;
        image.format = PNG_FORMAT_RGB;
        std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
            return;
        Width = image.width;
        Height = image.height;
        Pixels = std::move(pixels);
    }
};
