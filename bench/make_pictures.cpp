// Writes COUNT camera-sized JPEGs of photographic content for the transfer benchmark:
// the tests' pattern (gradients, shapes, fine texture), shifted and tinted differently in
// each file so that no two files are alike. Files already there are kept.
//
// Usage: orvix_bench_pictures FOLDER COUNT [WIDTH HEIGHT QUALITY]

#include "support/images.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 6) {
        std::fprintf(stderr, "usage: orvix_bench_pictures FOLDER COUNT [WIDTH HEIGHT QUALITY]\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    const int count = std::atoi(argv[2]);
    const int width = argc == 6 ? std::atoi(argv[3]) : 4000;
    const int height = argc == 6 ? std::atoi(argv[4]) : 3000;
    const int quality = argc == 6 ? std::atoi(argv[5]) : 92;
    if (count <= 0 || width <= 0 || height <= 0)
        return 2;

    const std::vector<uint8_t> base = orvix::test::test_pattern(width, height);
    for (int i = 1; i <= count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%04d.JPG", i);
        const std::string path = folder + name;
        if (!exists(path))
            orvix::test::write_picture(path, variant(base, width, height, i), quality);
    }
    return 0;
}
