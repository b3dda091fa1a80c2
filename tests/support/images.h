// Test pictures: deterministic photographic-like content written in any format the
// program handles, and a decoder that reads them back for pixel comparisons.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvix::test {

// 24-bit RGB pixels, rows of width * 3 bytes, top row first.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    bool empty() const { return width <= 0 || height <= 0; }
    const uint8_t* at(int x, int y) const {
        return pixels.data() + (static_cast<size_t>(y) * width + x) * 3;
    }
};

// Smooth gradients with fine detail (edges, texture), the same for the same size, so
// that resampling and JPEG compression behave as on a photograph, not on flat colour.
std::vector<uint8_t> test_pattern(int width, int height);

// A baseline 4:2:0 JPEG of test_pattern(width, height).
void make_jpeg(const std::string& path, int width, int height, int quality = 92);

// test_pattern(width, height) in the format named by the extension: jpg/jpeg (as
// make_jpeg), bmp, png, tif/tiff, tga, pcx or psd. Fails the current test otherwise.
void make_picture(const std::string& path, int width, int height);

// Writes the given pixels in the format named by the extension (as make_picture).
void write_picture(const std::string& path, const RgbImage& image, int jpeg_quality = 92);

// A 24-bit BMP whose header gives a negative height: its rows are stored top row first.
void write_top_down_bmp(const std::string& path, const RgbImage& image);

// 16-bit RGBA samples, rows top first.
struct Rgba16Image {
    int width = 0;
    int height = 0;
    std::vector<uint16_t> samples;

    const uint16_t* at(int x, int y) const {
        return samples.data() + (static_cast<size_t>(y) * width + x) * 4;
    }
};

// test_pattern(width, height) with low bytes of its own in every sample and, when alpha is
// set, an alpha channel that varies across the picture (opaque otherwise).
Rgba16Image deep_pattern(int width, int height, bool alpha);

// Writes the samples in the format named by the extension (png, tif/tiff, bmp, psd) with
// depth bits a sample (8 or 16), an alpha channel or none, and the compression named as
// ImageMagick names it ("None", "LZW", "Zip", "RLE"; empty for the format's default).
void write_deep_picture(const std::string& path, const Rgba16Image& image, int depth, bool alpha,
                        const std::string& compression = "");

// Every sample of the first picture of the file scaled to 16 bits; the alpha of a picture
// without one is opaque. Empty when the file cannot be read.
Rgba16Image read_rgba16(const std::string& path);

// Decodes any of the formats above; an empty image when the file cannot be read.
RgbImage read_rgb(const std::string& path);

// Largest absolute channel difference; 255 when the sizes differ.
int max_difference(const RgbImage& a, const RgbImage& b);
// Mean absolute channel difference over the whole picture; 255 when the sizes differ.
double mean_difference(const RgbImage& a, const RgbImage& b);

} // namespace orvix::test
