// Whole-pixel box averaging: a large picture brought down by about whole factors, as its
// rows arrive from the decoder, before the Lanczos filter. The Lanczos kernel spans the
// whole reduction, so on a 40 MP picture it costs many times the decode; averaging boxes
// first leaves it a small picture and the same result. Values are averaged as stored,
// alpha left out, as the resampler treats them.
#include "imaging/codecs.h"

#include <algorithm>
#include <new>

namespace orvix::picture::detail {

namespace {

// Boxes of more pixels than this would overflow the 32-bit sums; the resampler takes what
// is left of so large a reduction.
constexpr int kMaxFactor = 1024;

// The boxes along a side: the largest whole factor that leaves at least twice min_size
// pixels, and as many boxes as it fits whole. A box is a cruder filter than the DCT's
// scaling: stopping at twice min_size leaves the Lanczos that follows to decide what the
// copy shows (at min_size itself a 100-pixel thumbnail of a 40 MP picture ends 4 dB
// further from a Lanczos of the whole picture).
int boxes_along(int size, int min_size) {
    if (min_size <= 0)
        return size;
    return size / std::clamp(size / (2 * min_size), 1, kMaxFactor);
}

// Where each box starts, and the end of the last: the pixels a factor does not divide are
// spread one to a box over the side, so that every reduced pixel stands for the same
// share of the picture (a partial box at the end would stretch it, since the resampler
// takes the reduced pixels for equal ones, by enough to cost several dB).
std::vector<int> box_starts(int size, int boxes) {
    std::vector<int> starts(size_t(boxes) + 1);
    for (int i = 0; i <= boxes; ++i)
        starts[size_t(i)] = int(int64_t(i) * size / boxes);
    return starts;
}

} // namespace

BoxReduction::BoxReduction(int width, int height, PictureSize min_size)
    : m_width(width), m_height(height) {
    const int across = boxes_along(width, min_size.width);
    const int down = boxes_along(height, min_size.height);
    m_image = RgbImage::allocate(across, down);
    if (m_image.empty() || !reduces())
        return;
    try {
        m_columns = box_starts(width, across);
        m_rows = box_starts(height, down);
        m_sums.assign(m_image.stride(), 0);
    } catch (const std::bad_alloc&) {
        m_image = RgbImage{};
        set_last_error(kOutOfMemory);
    }
}

void BoxReduction::add_row(const uint8_t* rgb) {
    uint32_t* sums = m_sums.data();
    for (int box = 0; box < m_image.width(); ++box, sums += 3) {
        uint32_t r = 0, g = 0, b = 0;
        for (int x = m_columns[size_t(box)]; x < m_columns[size_t(box) + 1]; ++x, rgb += 3) {
            r += rgb[0];
            g += rgb[1];
            b += rgb[2];
        }
        sums[0] += r;
        sums[1] += g;
        sums[2] += b;
    }
    ++m_row;
    if (m_row == m_rows[size_t(m_box_row) + 1])
        emit_row();
}

void BoxReduction::emit_row() {
    const int box_rows = m_rows[size_t(m_box_row) + 1] - m_rows[size_t(m_box_row)];
    uint8_t* out = m_image.row(m_box_row);
    for (int box = 0; box < m_image.width(); ++box) {
        const uint32_t count =
            uint32_t((m_columns[size_t(box) + 1] - m_columns[size_t(box)]) * box_rows);
        for (int c = 0; c < 3; ++c) {
            const size_t i = size_t(box) * 3 + size_t(c);
            out[i] = uint8_t((m_sums[i] + count / 2) / count);
        }
    }
    std::fill(m_sums.begin(), m_sums.end(), 0);
    ++m_box_row;
}

RgbImage box_reduce(RgbImage image, PictureSize min_size) {
    if (image.empty() || (boxes_along(image.width(), min_size.width) == image.width() &&
                          boxes_along(image.height(), min_size.height) == image.height()))
        return image;
    BoxReduction reduction(image.width(), image.height(), min_size);
    if (reduction.failed())
        return {};
    for (int y = 0; y < image.height(); ++y)
        reduction.add_row(image.row(y));
    return reduction.take();
}

} // namespace orvix::picture::detail
