// Whole-pixel box averaging: a large picture brought down by integer factors, as its rows
// arrive from the decoder, before the Lanczos filter. The Lanczos kernel spans the whole
// reduction, so on a 40 MP picture it costs many times the decode; averaging boxes first
// to about twice the size wanted leaves it a small picture and the same result to the eye.
// Values are averaged as stored, alpha left out, as the resampler treats them.
#include "imaging/codecs.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace orvix::picture::detail {

namespace {

// Boxes of more pixels than this would overflow the 32-bit sums; the resampler takes what
// is left of so large a reduction.
constexpr int kMaxFactor = 1024;

int reduced(int size, int factor) {
    return (size + factor - 1) / factor;
}

// The largest factor that leaves at least twice min_size pixels and whose last, partial
// box barely moves the picture's geometry. A box is a cruder filter than the DCT's scaling:
// stopping at twice min_size leaves the Lanczos that follows to decide what the copy shows
// (at min_size itself a 100-pixel thumbnail of a 40 MP picture ends 4 dB further from a
// Lanczos of the whole picture). The resampler takes the reduced pixels for equal boxes, so
// the part of a box that lies beyond the side stretches the result; that stretch must stay
// within an eighth of a pixel of the copy (half of min_size) at its far edge.
int factor_along(int size, int min_size) {
    if (min_size <= 0)
        return 1;
    for (int factor = std::min(size / (2 * min_size), kMaxFactor); factor > 1; --factor) {
        const int64_t beyond = int64_t(reduced(size, factor)) * factor - size;
        if (beyond * min_size * 4 <= size)
            return factor;
    }
    return 1;
}

} // namespace

BoxReduction::BoxReduction(int width, int height, PictureSize min_size)
    : m_width(width), m_height(height), m_across(factor_along(width, min_size.width)),
      m_down(factor_along(height, min_size.height)) {
    m_image = RgbImage::allocate(reduced(width, m_across), reduced(height, m_down));
    if (m_image.empty() || !reduces())
        return;
    try {
        m_sums.assign(m_image.stride(), 0);
    } catch (const std::bad_alloc&) {
        m_image = RgbImage{};
        set_last_error(kOutOfMemory);
    }
}

void BoxReduction::add_row(const uint8_t* rgb) {
    uint32_t* sums = m_sums.data();
    const int whole = m_width / m_across;
    for (int box = 0; box < whole; ++box, sums += 3) {
        uint32_t r = 0, g = 0, b = 0;
        for (int k = 0; k < m_across; ++k, rgb += 3) {
            r += rgb[0];
            g += rgb[1];
            b += rgb[2];
        }
        sums[0] += r;
        sums[1] += g;
        sums[2] += b;
    }
    // The last box of a width the factor does not divide holds fewer pixels.
    for (int x = whole * m_across; x < m_width; ++x, rgb += 3) {
        sums[0] += rgb[0];
        sums[1] += rgb[1];
        sums[2] += rgb[2];
    }
    ++m_rows;
    if (m_rows % m_down == 0 || m_rows == m_height)
        emit_row();
}

void BoxReduction::emit_row() {
    const int box_rows = (m_rows - 1) % m_down + 1;
    uint8_t* out = m_image.row((m_rows - 1) / m_down);
    for (int box = 0; box < m_image.width(); ++box) {
        const int columns = std::min(m_across, m_width - box * m_across);
        const uint32_t count = uint32_t(columns * box_rows);
        for (int c = 0; c < 3; ++c) {
            const size_t i = size_t(box) * 3 + size_t(c);
            out[i] = uint8_t((m_sums[i] + count / 2) / count);
        }
    }
    std::fill(m_sums.begin(), m_sums.end(), 0);
}

RgbImage box_reduce(RgbImage image, PictureSize min_size) {
    if (image.empty() || (factor_along(image.width(), min_size.width) == 1 &&
                          factor_along(image.height(), min_size.height) == 1))
        return image;
    BoxReduction reduction(image.width(), image.height(), min_size);
    if (reduction.failed())
        return {};
    for (int y = 0; y < image.height(); ++y)
        reduction.add_row(image.row(y));
    return reduction.take();
}

} // namespace orvix::picture::detail
