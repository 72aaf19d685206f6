#pragma once

#include "image/PixelGraphic.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

// Test pictures of the colour-reduction and resampling benchmarks, and their exchange with
// bench/quantize_vs_pillow.py as binary PPM (P6) or BMP files, so that Pillow measures the
// same pixels.
namespace benchpictures {

constexpr int Width = 1024, Height = 768;

// Photo-like: smooth colour fields, a little grain and a few hard-edged shapes, so that most
// 5-6-5 cells of the picture's region of colour space are occupied.
inline std::unique_ptr<TPixelGraphic> DensePicture() {
    constexpr double Tau = 6.283185307179586;
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(Width, Height, bc24Bit);
    std::uint32_t seed = 12345;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const double fx = x / double(Width), fy = y / double(Height);
            double r =
                128 + 90 * std::sin(Tau * (1.3 * fx + 0.7 * fy)) + 30 * std::sin(Tau * 5 * fx * fy);
            double g = 120 + 100 * std::sin(Tau * (0.8 * fx - 1.1 * fy) + 1.0);
            double b =
                110 + 80 * std::cos(Tau * (2.1 * fy + 0.3 * fx)) + 40 * std::sin(Tau * 3 * fx);
            const double dx = fx - 0.3, dy = fy - 0.6, ex = fx - 0.75, ey = fy - 0.25;
            if (dx * dx + dy * dy < 0.02) {
                r = 230 - 60 * fy;
                g = 200 - 90 * fx;
                b = 40;
            } else if (ex * ex + 2 * ey * ey < 0.015) {
                r = 30;
                g = 60 + 120 * fy;
                b = 220;
            }
            seed = seed * 134775813 + 1;
            const double grain = static_cast<int>(seed >> 27) - 16; // -16..15
            const auto channel = [grain](double v) {
                return static_cast<std::uint32_t>(
                    std::lround(std::fmin(255.0, std::fmax(0.0, v + grain))));
            };
            image->SetPixel(x, y, RGB(channel(r), channel(g), channel(b)));
        }
    return image;
}

inline bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A binary PPM for ".ppm", otherwise a BMP file.
inline void WritePicture(const TPixelGraphic& image, const std::string& path) {
    std::ofstream file(path, std::ios::binary);
    if (!EndsWith(path, ".ppm")) {
        image.SaveImageStream(file);
    } else {
        file << "P6\n" << image.Width() << ' ' << image.Height() << "\n255\n";
        std::string row(3 * static_cast<std::size_t>(image.Width()), '\0');
        for (int y = 0; y < image.Height(); ++y) {
            const std::uint8_t* bgr = image.ScanLine(y);
            for (int x = 0; x < image.Width(); ++x) {
                row[3 * x] = static_cast<char>(bgr[3 * x + 2]);
                row[3 * x + 1] = static_cast<char>(bgr[3 * x + 1]);
                row[3 * x + 2] = static_cast<char>(bgr[3 * x]);
            }
            file.write(row.data(), static_cast<std::streamsize>(row.size()));
        }
    }
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

// Reads a binary PPM with maximum value 255.
inline std::unique_ptr<TPixelGraphic> ReadPPM(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, maxValue = 0;
    file >> magic >> w >> h >> maxValue;
    file.get();
    if (!file || magic != "P6" || w < 1 || h < 1 || maxValue != 255)
        throw std::runtime_error(path + " is not a binary 8-bit PPM file");
    auto image = std::make_unique<TPixelGraphic>();
    image->SetSize(w, h, bc24Bit);
    std::string row(3 * static_cast<std::size_t>(w), '\0');
    for (int y = 0; y < h; ++y) {
        if (!file.read(row.data(), static_cast<std::streamsize>(row.size())))
            throw std::runtime_error(path + " is truncated");
        std::uint8_t* bgr = image->ScanLine(y);
        for (int x = 0; x < w; ++x) {
            bgr[3 * x] = static_cast<std::uint8_t>(row[3 * x + 2]);
            bgr[3 * x + 1] = static_cast<std::uint8_t>(row[3 * x + 1]);
            bgr[3 * x + 2] = static_cast<std::uint8_t>(row[3 * x]);
        }
    }
    return image;
}

} // namespace benchpictures
