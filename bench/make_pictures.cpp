// Writes COUNT camera-sized pictures of photographic content for the benchmarks: the
// tests' pattern (gradients, shapes, fine texture), shifted and tinted differently in each
// file so that no two files are alike. Files already there are kept.
//
// Usage: orvix_bench_pictures [--noise] [--ext EXT] FOLDER COUNT [WIDTH HEIGHT QUALITY]
//   --noise    noise blurred at several scales instead of the pattern: detail at every
//              scale, as in foliage, stone or a crowd, for resampling and speed measurements
//   --ext EXT  the format by extension (default JPG; TIF, PNG... as the test support writes)

#include "support/images.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

constexpr int kGrain = 21;

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

uint32_t hash(uint32_t x, uint32_t y, uint32_t seed) {
    uint32_t h = x * 0x9E3779B1u ^ (y + seed * 0x85EBCA77u) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ (h >> 13);
}

// The base picture rolled by (dx, dy), each channel offset by its own tint, with grain
// of a camera sensor on top: the detail that makes a photograph cost about 3 bits a pixel.
orvix::test::RgbImage variant(const std::vector<uint8_t>& base, int width, int height, int index) {
    orvix::test::RgbImage image{width, height, std::vector<uint8_t>(base.size())};
    const int dx = (index * 733) % width;
    const int dy = (index * 211) % height;
    const int tint[3] = {index % 23 - 11, index % 17 - 8, index % 13 - 6};
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = base.data() + static_cast<size_t>((y + dy) % height) * width * 3;
        uint8_t* out = image.pixels.data() + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = row + static_cast<size_t>((x + dx) % width) * 3;
            const int grain = static_cast<int>(hash(x, y, index) % kGrain) - kGrain / 2;
            for (int c = 0; c < 3; ++c)
                out[x * 3 + c] = static_cast<uint8_t>(std::clamp(p[c] + tint[c] + grain, 0, 255));
        }
    }
    return image;
}

// One octave of value noise: random values on a lattice of cell x cell pixels, smoothly
// interpolated in between.
class Octave {
public:
    Octave(int width, int height, int cell, uint32_t seed)
        : m_columns(width / cell + 2), m_cell(cell),
          m_lattice(size_t(m_columns) * (height / cell + 2)), m_row(size_t(m_columns)) {
        for (size_t i = 0; i < m_lattice.size(); ++i)
            m_lattice[i] = float(hash(uint32_t(i), uint32_t(cell), seed) % 2001) / 1000.0f - 1.0f;
    }

    // Adds amplitude times the octave's row y to out.
    void add_row(int y, float amplitude, float* out, int width) {
        const float* upper = m_lattice.data() + size_t(y / m_cell) * size_t(m_columns);
        const float* lower = upper + m_columns;
        const float fy = smooth(float(y % m_cell) / float(m_cell));
        for (int i = 0; i < m_columns; ++i)
            m_row[size_t(i)] = upper[i] + (lower[i] - upper[i]) * fy;
        for (int x = 0; x < width; ++x) {
            const float* pair = m_row.data() + x / m_cell;
            const float fx = smooth(float(x % m_cell) / float(m_cell));
            out[x] += amplitude * (pair[0] + (pair[1] - pair[0]) * fx);
        }
    }

private:
    static float smooth(float t) { return t * t * (3 - 2 * t); }

    int m_columns;
    int m_cell;
    std::vector<float> m_lattice;
    std::vector<float> m_row;
};

struct Layer {
    int cell;
    float amplitude;
};

// Brightness carries detail down to a few pixels; colour varies more slowly, as in
// photographs (and as 4:2:0 chroma assumes).
constexpr Layer kLuma[] = {{1024, 55}, {256, 35}, {64, 24}, {16, 18}, {4, 14}, {2, 8}};
constexpr Layer kChroma[] = {{512, 28}, {96, 12}};

orvix::test::RgbImage noise_picture(int width, int height, int index) {
    orvix::test::RgbImage image{width, height, std::vector<uint8_t>(size_t(width) * height * 3)};
    auto octaves = [&](const auto& layers, uint32_t seed) {
        std::vector<Octave> list;
        for (const Layer& layer : layers)
            list.emplace_back(width, height, layer.cell, seed++);
        return list;
    };
    const uint32_t seed = uint32_t(index) * 16;
    std::vector<Octave> luma = octaves(kLuma, seed), red = octaves(kChroma, seed + 8),
                        blue = octaves(kChroma, seed + 12);
    const size_t row_size = size_t(width);
    std::vector<float> l(row_size), cr(row_size), cb(row_size);
    for (int y = 0; y < height; ++y) {
        std::fill(l.begin(), l.end(), 120.0f);
        std::fill(cr.begin(), cr.end(), 0.0f);
        std::fill(cb.begin(), cb.end(), 0.0f);
        for (size_t i = 0; i < luma.size(); ++i)
            luma[i].add_row(y, kLuma[i].amplitude, l.data(), width);
        for (size_t i = 0; i < red.size(); ++i) {
            red[i].add_row(y, kChroma[i].amplitude, cr.data(), width);
            blue[i].add_row(y, kChroma[i].amplitude, cb.data(), width);
        }
        uint8_t* out = image.pixels.data() + size_t(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            const float grain = float(int(hash(x, y, seed) % 7) - 3);
            const float v = l[size_t(x)] + grain;
            const float rgb[3] = {v + cr[size_t(x)], v - 0.3f * (cr[size_t(x)] + cb[size_t(x)]),
                                  v + cb[size_t(x)]};
            for (int c = 0; c < 3; ++c)
                out[x * 3 + c] = uint8_t(std::clamp(std::lround(rgb[c]), 0l, 255l));
        }
    }
    return image;
}

} // namespace

int main(int argc, char** argv) {
    bool noise = false;
    std::string extension = "JPG";
    int at = 1;
    for (; at < argc && argv[at][0] == '-'; ++at) {
        if (std::strcmp(argv[at], "--noise") == 0)
            noise = true;
        else if (std::strcmp(argv[at], "--ext") == 0 && at + 1 < argc)
            extension = argv[++at];
        else
            break;
    }
    const int left = argc - at;
    if (left != 2 && left != 5) {
        std::fprintf(stderr, "usage: orvix_bench_pictures [--noise] [--ext EXT] FOLDER COUNT "
                             "[WIDTH HEIGHT QUALITY]\n");
        return 2;
    }
    const std::string folder = std::string(argv[at]) + "/";
    const int count = std::atoi(argv[at + 1]);
    const int width = left == 5 ? std::atoi(argv[at + 2]) : 4000;
    const int height = left == 5 ? std::atoi(argv[at + 3]) : 3000;
    const int quality = left == 5 ? std::atoi(argv[at + 4]) : 92;
    if (count <= 0 || width <= 0 || height <= 0)
        return 2;

    const std::vector<uint8_t> base =
        noise ? std::vector<uint8_t>() : orvix::test::test_pattern(width, height);
    for (int i = 1; i <= count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "IMG_%04d.%s", i, extension.c_str());
        const std::string path = folder + name;
        if (!exists(path))
            orvix::test::write_picture(
                path, noise ? noise_picture(width, height, i) : variant(base, width, height, i),
                quality);
    }
    return 0;
}
