// What the tests of the grid's zoom, captions, order and larger sources share: flat
// pictures, colour checks on what was painted, and a wait for the cells' pictures.
#pragma once

#include "controls/thumbgrid/cell_loader.h"
#include "controls/thumbgrid/glimra.h"
#include "support/images.h"

#include <QImage>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace orvix::test {

inline void flat_jpeg(const std::string& path, int width, int height, uint8_t r, uint8_t g,
                      uint8_t b) {
    RgbImage image{width, height, {}};
    for (int i = 0; i < width * height; ++i)
        image.pixels.insert(image.pixels.end(), {r, g, b});
    write_picture(path, image, 95);
}

inline bool near_rgb(QRgb pixel, int r, int g, int b, int tolerance = 16) {
    return std::abs(qRed(pixel) - r) <= tolerance && std::abs(qGreen(pixel) - g) <= tolerance &&
           std::abs(qBlue(pixel) - b) <= tolerance;
}

// Pixels of the image inside rect that are nearly white (the captions' colour here).
inline int white_pixels(const QImage& image, const QRect& rect) {
    int count = 0;
    const QRect inside = rect.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (near_rgb(image.pixel(x, y), 255, 255, 255, 60))
                ++count;
    return count;
}

// Sizing the grid put its redraw off to the next tick of its timer: tick it now, then wait
// for the visible pictures. The wait gives up only at a bound against a hang.
inline void settle_grid(Glimra& grid) {
    QMetaObject::invokeMethod(grid.findChild<QTimer*>(QStringLiteral("Timer1")), "timeout");
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(QTest::qWaitFor(
        [&grid] {
            QCoreApplication::sendPostedEvents();
            return grid.model().needs_layout() == false && grid.loader().in_flight() == 0 &&
                   grid.loader().missing_among_first(1000) == 0;
        },
        30000));
}

// Item i's picture or cell in pixels of the drawing area, from its twips text.
inline QRect grid_pixels(const Glimra& grid, const QString& twips) {
    const QStringList v = twips.split(QLatin1Char(','));
    const double tx = grid.twips_per_pixel_x(), ty = grid.twips_per_pixel_y();
    return {QPoint(qRound(v[0].toInt() / tx), qRound(v[1].toInt() / ty)),
            QPoint(qRound(v[2].toInt() / tx) - 1, qRound(v[3].toInt() / ty) - 1)};
}

} // namespace orvix::test
