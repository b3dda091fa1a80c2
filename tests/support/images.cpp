#include "support/images.h"

#include <Magick++.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <turbojpeg.h>

namespace orvix::test {

namespace {

struct TjDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

struct TjBufferDeleter {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

void init_magick() {
    static const bool done = [] {
        Magick::InitializeMagick(nullptr);
        return true;
    }();
    (void)done;
}

std::string extension_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

// A small integer hash: fixed texture that looks like sensor noise.
uint32_t hash(uint32_t x, uint32_t y) {
    uint32_t h = x * 374761393u + y * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

uint8_t clamp_byte(double v) {
    return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
}

std::string magick_format(const std::string& ext) {
    if (ext == "bmp")
        return "BMP3";
    if (ext == "png")
        return "PNG24";
    if (ext == "tif" || ext == "tiff")
        return "TIFF";
    if (ext == "tga")
        return "TGA";
    if (ext == "pcx")
        return "PCX";
    if (ext == "psd")
        return "PSD";
    return "";
}

void write_jpeg(const std::string& path, const RgbImage& image, int quality) {
    TjHandle handle(tjInitCompress());
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int rc = tjCompress2(handle.get(), image.pixels.data(), image.width, 0, image.height,
                               TJPF_RGB, &out, &size, TJSAMP_420, quality, 0);
    std::unique_ptr<unsigned char, TjBufferDeleter> owned(out);
    if (rc != 0) {
        ADD_FAILURE() << "cannot compress " << path << ": " << tjGetErrorStr2(handle.get());
        return;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out), static_cast<std::streamsize>(size));
    if (!file)
        ADD_FAILURE() << "cannot write " << path;
}

RgbImage read_jpeg(const std::string& bytes) {
    TjHandle handle(tjInitDecompress());
    auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(handle.get(), data, bytes.size(), &width, &height, &subsampling,
                            &colorspace) != 0)
        return {};
    RgbImage image{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
    if (tjDecompress2(handle.get(), data, bytes.size(), image.pixels.data(), width, 0, height,
                      TJPF_RGB, 0) != 0)
        return {};
    return image;
}

} // namespace

std::vector<uint8_t> test_pattern(int width, int height) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3);
    const double w = std::max(width, 1), h = std::max(height, 1);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = x / w, v = y / h;
            // Broad gradients and soft waves, like sky and shading.
            double r = 40 + 170 * u + 25 * std::sin(9 * v + 3 * u);
            double g = 60 + 120 * v + 30 * std::sin(7 * u * v + 2);
            double b = 200 - 140 * u * v + 20 * std::cos(11 * u);
            // A few hard-edged shapes, like objects in a scene.
            const double dx = u - 0.62, dy = v - 0.4;
            if (dx * dx + dy * dy < 0.03) {
                r = 0.4 * r + 140;
                g *= 0.5;
            }
            if (u > 0.1 && u < 0.3 && v > 0.55 && v < 0.9)
                b = 30 + 10 * ((x / 3 + y / 3) % 2);
            // Fine texture.
            const int noise = static_cast<int>(hash(x, y) % 17) - 8;
            uint8_t* p = pixels.data() + (static_cast<size_t>(y) * width + x) * 3;
            p[0] = clamp_byte(r + noise);
            p[1] = clamp_byte(g + noise / 2);
            p[2] = clamp_byte(b - noise);
        }
    }
    return pixels;
}

void write_picture(const std::string& path, const RgbImage& image, int jpeg_quality) {
    const std::string ext = extension_of(path);
    if (ext == "jpg" || ext == "jpeg") {
        write_jpeg(path, image, jpeg_quality);
        return;
    }
    const std::string format = magick_format(ext);
    if (format.empty()) {
        ADD_FAILURE() << "no test writer for " << path;
        return;
    }
    init_magick();
    try {
        Magick::Image picture(image.width, image.height, "RGB", Magick::CharPixel,
                              image.pixels.data());
        picture.depth(8);
        picture.type(Magick::TrueColorType);
        // Without it the TGA writer marks the rows as stored from the bottom, which they
        // are not.
        picture.orientation(Magick::TopLeftOrientation);
        picture.magick(format);
        picture.write(format + ":" + path);
    } catch (const Magick::Exception& e) {
        ADD_FAILURE() << "cannot write " << path << ": " << e.what();
    }
}

void write_top_down_bmp(const std::string& path, const RgbImage& image) {
    const size_t row_bytes = (static_cast<size_t>(image.width) * 3 + 3) / 4 * 4;
    const uint32_t pixel_bytes = static_cast<uint32_t>(row_bytes * image.height);
    std::string bytes = "BM";
    auto put16 = [&](uint32_t v) { bytes += {char(v), char(v >> 8)}; };
    auto put32 = [&](uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    put32(54 + pixel_bytes);
    put32(0);
    put32(54);
    put32(40);
    put32(static_cast<uint32_t>(image.width));
    put32(static_cast<uint32_t>(-image.height));
    put16(1);
    put16(24);
    put32(0); // no compression
    put32(pixel_bytes);
    put32(2835);
    put32(2835);
    put32(0);
    put32(0);
    for (int y = 0; y < image.height; ++y) {
        std::string row(row_bytes, '\0');
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.at(x, y);
            row[size_t(x) * 3] = char(p[2]);
            row[size_t(x) * 3 + 1] = char(p[1]);
            row[size_t(x) * 3 + 2] = char(p[0]);
        }
        bytes += row;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        ADD_FAILURE() << "cannot write " << path;
}

void make_jpeg(const std::string& path, int width, int height, int quality) {
    write_jpeg(path, RgbImage{width, height, test_pattern(width, height)}, quality);
}

void make_picture(const std::string& path, int width, int height) {
    write_picture(path, RgbImage{width, height, test_pattern(width, height)});
}

Rgba16Image deep_pattern(int width, int height, bool alpha) {
    const std::vector<uint8_t> high = test_pattern(width, height);
    Rgba16Image image{width, height,
                      std::vector<uint16_t>(static_cast<size_t>(width) * height * 4)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const size_t i = static_cast<size_t>(y) * width + x;
            for (int c = 0; c < 3; ++c)
                image.samples[i * 4 + c] =
                    static_cast<uint16_t>(high[i * 3 + c] << 8 | (hash(x + c, y) & 0xFF));
            image.samples[i * 4 + 3] =
                alpha ? static_cast<uint16_t>(65535 * (x + 1) / (width + 1)) : 65535;
        }
    }
    return image;
}

void write_deep_picture(const std::string& path, const Rgba16Image& image, int depth, bool alpha,
                        const std::string& compression) {
    const std::string ext = extension_of(path);
    std::string format;
    if (ext == "png")
        format = depth > 8 ? (alpha ? "PNG64" : "PNG48") : (alpha ? "PNG32" : "PNG24");
    else if (ext == "tif" || ext == "tiff")
        format = "TIFF";
    else if (ext == "bmp")
        format = alpha ? "BMP" : "BMP3";
    else if (ext == "psd")
        format = "PSD";
    if (format.empty()) {
        ADD_FAILURE() << "no deep test writer for " << path;
        return;
    }
    init_magick();
    try {
        Magick::Image picture(image.width, image.height, "RGBA", Magick::ShortPixel,
                              image.samples.data());
        picture.matte(alpha);
        picture.depth(depth);
        picture.type(alpha ? Magick::TrueColorMatteType : Magick::TrueColorType);
        if (!compression.empty())
            picture.compressType(
                static_cast<MagickCore::CompressionType>(MagickCore::ParseCommandOption(
                    MagickCore::MagickCompressOptions, Magick::MagickFalse, compression.c_str())));
        picture.magick(format);
        picture.write(format + ":" + path);
    } catch (const Magick::Exception& e) {
        ADD_FAILURE() << "cannot write " << path << ": " << e.what();
    }
}

Rgba16Image read_rgba16(const std::string& path) {
    init_magick();
    try {
        Magick::Image picture;
        // A PSD's composite as stored, as the program reads it.
        picture.defineValue("psd", "alpha-unblend", "off");
        picture.read(path + "[0]");
        Rgba16Image image{
            static_cast<int>(picture.columns()), static_cast<int>(picture.rows()), {}};
        image.samples.resize(static_cast<size_t>(image.width) * image.height * 4);
        picture.write(0, 0, image.width, image.height, "RGBA", Magick::ShortPixel,
                      image.samples.data());
        return image;
    } catch (const Magick::Exception&) {
        return {};
    }
}

RgbImage read_rgb(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    if (bytes.size() >= 3 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
        static_cast<uint8_t>(bytes[1]) == 0xD8)
        return read_jpeg(bytes);
    init_magick();
    try {
        Magick::Image picture;
        picture.read(path);
        // Readers such as TGA's keep the stored row order and only note the orientation.
        picture.autoOrient();
        RgbImage image{static_cast<int>(picture.columns()), static_cast<int>(picture.rows()), {}};
        image.pixels.resize(static_cast<size_t>(image.width) * image.height * 3);
        picture.write(0, 0, image.width, image.height, "RGB", Magick::CharPixel,
                      image.pixels.data());
        return image;
    } catch (const Magick::Exception&) {
        return {};
    }
}

int max_difference(const RgbImage& a, const RgbImage& b) {
    if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size())
        return 255;
    int worst = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        worst = std::max(worst, std::abs(int(a.pixels[i]) - int(b.pixels[i])));
    return worst;
}

double mean_difference(const RgbImage& a, const RgbImage& b) {
    if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size() ||
        a.pixels.empty())
        return 255;
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        sum += std::abs(int(a.pixels[i]) - int(b.pixels[i]));
    return sum / static_cast<double>(a.pixels.size());
}

} // namespace orvix::test
