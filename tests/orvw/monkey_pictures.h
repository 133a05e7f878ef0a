#pragma once
// Preview pictures as the monkey compares them: in the window's own pixel format.

#include <QImage>
#include <cstdint>

#include "orvgrid/preview_image.h"

inline QImage asQImage(const RgbImage& image) {
    QImage result(image.width, image.height, QImage::Format_RGB32);
    for (int y = 0; y < image.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* rgb = image.pixel(x, y);
            line[x] = qRgb(rgb[0], rgb[1], rgb[2]);
        }
    }
    return result;
}

// A picture as the window paints it before any map: white in a black outline.
inline bool isCleared(const QImage& image) {
    static const QImage preview_size = asQImage(cleared_preview_image(177, 145));
    if (image.size() == preview_size.size()) return image == preview_size;
    return image == asQImage(cleared_preview_image(image.width(), image.height()));
}
