// Separable Lanczos-3 resampling: the filter picture tools use as their reference for
// photographs. Each output row is first filtered vertically from the rows under it into a
// row of floats, then horizontally into the output. Values are resampled as stored,
// without gamma conversion, as other picture tools do.
#include "imaging/codecs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>
#include <vector>

namespace orvix::picture::detail {

namespace {

constexpr double kLobes = 3.0;

double lanczos3(double x) {
    x = std::fabs(x);
    if (x < 1e-9)
        return 1.0;
    if (x >= kLobes)
        return 0.0;
    const double pi_x = std::numbers::pi * x;
    return kLobes * std::sin(pi_x) * std::sin(pi_x / kLobes) / (pi_x * pi_x);
}

// The weights along one axis: output pixel i takes taps input pixels from first[i] on,
// weighted by weights[i * taps ...]. Every output has the same number of taps (unused
// ones weigh 0), so that the loops below have a fixed shape.
struct AxisFilter {
    int taps = 0;
    std::vector<int> first;
    std::vector<float> weights;
};

// The input pixels under output pixel i: from low to high, inside the picture.
struct Window {
    double centre;
    int low;
    int high;
};

Window window(int i, double scale, double support, int in_size) {
    const double centre = (i + 0.5) * scale - 0.5;
    return {centre, std::max(int(std::ceil(centre - support)), 0),
            std::min(int(std::floor(centre + support)), in_size - 1)};
}

AxisFilter axis_filter(int in_size, int out_size) {
    const double scale = double(in_size) / out_size;
    // Shrinking widens the kernel over the input so that it also removes what the
    // smaller picture cannot hold.
    const double stretch = std::max(scale, 1.0);
    const double support = kLobes * stretch;

    const size_t outputs = size_t(out_size);
    AxisFilter filter;
    filter.taps = 1;
    for (int i = 0; i < out_size; ++i) {
        const Window w = window(i, scale, support, in_size);
        filter.taps = std::max(filter.taps, w.high - w.low + 1);
    }
    const int taps = filter.taps;
    filter.first.resize(outputs);
    filter.weights.assign(outputs * size_t(taps), 0.0f);
    for (int i = 0; i < out_size; ++i) {
        // Pixels beyond the edges do not exist: the weights of those inside are scaled to
        // sum to one. (Repeating the edge pixel instead would give it most of the weight
        // when a whole picture shrinks to a few pixels.)
        const Window w = window(i, scale, support, in_size);
        const int first = std::min(w.low, in_size - taps);
        float* weights = filter.weights.data() + size_t(i) * size_t(taps);
        double total = 0.0;
        for (int x = w.low; x <= w.high; ++x)
            total += lanczos3((x - w.centre) / stretch);
        for (int x = w.low; x <= w.high; ++x)
            weights[x - first] = float(lanczos3((x - w.centre) / stretch) / total);
        filter.first[size_t(i)] = first;
    }
    return filter;
}

// Four floats handled as one: a pixel's three channels and one spare lane.
using Lanes = float __attribute__((vector_size(16)));

Lanes load_lanes(const float* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

uint8_t to_byte(float v) {
    return uint8_t(std::clamp(v + 0.5f, 0.0f, 255.0f));
}

// row = the taps source rows from first on, weighted.
void filter_vertically(const RgbImage& source, int first, const float* weights, int taps,
                       float* row) {
    const size_t count = source.stride();
    const uint8_t* from = source.row(first);
    for (size_t j = 0; j < count; ++j)
        row[j] = weights[0] * float(from[j]);
    for (int k = 1; k < taps; ++k) {
        const float w = weights[k];
        if (w == 0.0f)
            continue;
        from = source.row(first + k);
        for (size_t j = 0; j < count; ++j)
            row[j] += w * float(from[j]);
    }
}

// out = row filtered along x. row holds one float more than its pixels, for the spare lane.
void filter_horizontally(const float* row, const AxisFilter& filter, int width, uint8_t* out) {
    const int taps = filter.taps;
    for (int x = 0; x < width; ++x, out += 3) {
        const float* weights = filter.weights.data() + size_t(x) * size_t(taps);
        const float* from = row + size_t(filter.first[size_t(x)]) * 3;
        Lanes sum = load_lanes(from) * weights[0];
        for (int k = 1; k < taps; ++k)
            sum += load_lanes(from + size_t(k) * 3) * weights[k];
        out[0] = to_byte(sum[0]);
        out[1] = to_byte(sum[1]);
        out[2] = to_byte(sum[2]);
    }
}

} // namespace

bool resample(const RgbImage& source, RgbImage& target) {
    if (source.empty() || target.empty())
        return false;
    try {
        const AxisFilter across = axis_filter(source.width(), target.width());
        const AxisFilter down = axis_filter(source.height(), target.height());
        std::vector<float> row(source.stride() + 1, 0.0f);
        for (int y = 0; y < target.height(); ++y) {
            filter_vertically(source, down.first[size_t(y)],
                              down.weights.data() + size_t(y) * size_t(down.taps), down.taps,
                              row.data());
            filter_horizontally(row.data(), across, target.width(), target.row(y));
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace orvix::picture::detail
