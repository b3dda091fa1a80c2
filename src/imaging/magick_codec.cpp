#include "imaging/codecs.h"

#include <Magick++.h>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <string_view>

namespace orvix::picture::detail {

namespace {

// The only coders Magick++ may use here. Each read names its coder explicitly, so the
// content can never select another one (a delegate, a script, a URL or a text file);
// the coder that answers is checked against this list as well.
// JPEG is read here only for the layouts TurboJPEG refuses.
constexpr std::string_view kAllowedCoders[] = {"BMP", "BMP3", "PNG",  "PNG24", "PCX", "TIFF",
                                               "TGA", "PSD",  "WBMP", "WMF",   "JPEG"};

bool coder_allowed(const std::string& coder) {
    for (std::string_view allowed : kAllowedCoders)
        if (coder == allowed)
            return true;
    return false;
}

// The distribution's policy may lower these further; it cannot raise them. There is no
// time limit: ImageMagick 6 counts it from the process's first picture and ends the
// whole process when it runs out, which no long-lived program can accept. The size
// limits below bound the work instead.
void init_magick() {
    static std::once_flag once;
    std::call_once(once, [] {
        Magick::InitializeMagick(nullptr);
        Magick::ResourceLimits::memory(512ull << 20);
        Magick::ResourceLimits::map(1024ull << 20);
        Magick::ResourceLimits::disk(2048ull << 20);
        Magick::ResourceLimits::width(32767);
        Magick::ResourceLimits::height(32767);
        Magick::ResourceLimits::area(uint64_t(kMaxPictureBytes / 3));
        Magick::ResourceLimits::listLength(256);
    });
}

int32_t error_of(const Magick::Exception& e, int32_t otherwise) {
    if (dynamic_cast<const Magick::ErrorResourceLimit*>(&e) ||
        dynamic_cast<const Magick::WarningResourceLimit*>(&e) ||
        std::strstr(e.what(), "exceeds limit") != nullptr)
        return kTooLarge;
    if (dynamic_cast<const Magick::ErrorPolicy*>(&e))
        return kCoderRefused;
    return otherwise;
}

// A warning about damaged data means pixels are missing; other warnings (unknown tags,
// odd but harmless fields) leave a complete picture.
bool warning_harmless(const Magick::Warning& w) {
    return !dynamic_cast<const Magick::WarningCorruptImage*>(&w) &&
           !dynamic_cast<const Magick::WarningResourceLimit*>(&w);
}

// Only the first picture of a file is wanted (TIFF page 0, the PSD composite).
Magick::Image prepared_image(const char* coder) {
    Magick::Image image;
    image.quiet(false);
    image.subImage(0);
    image.subRange(1);
    image.magick(coder);
    if (std::string_view(coder) == "WMF")
        image.backgroundColor(Magick::ColorRGB(208 / 255.0, 208 / 255.0, 208 / 255.0));
    return image;
}

// The width and height of a classic TIFF's first directory.
std::optional<std::pair<int64_t, int64_t>> tiff_size(std::span<const uint8_t> b) {
    if (b.size() < 8 || (b[0] != 'I' && b[0] != 'M'))
        return std::nullopt;
    const bool big_endian = b[0] == 'M';
    auto u16 = [&](size_t at) {
        return big_endian ? uint16_t((b[at] << 8) | b[at + 1]) : le16(&b[at]);
    };
    auto u32 = [&](size_t at) { return big_endian ? be32(&b[at]) : le32(&b[at]); };
    if (u16(2) != 42)
        return std::nullopt;
    const size_t directory = u32(4);
    if (directory + 2 > b.size())
        return std::nullopt;
    int64_t width = -1, height = -1;
    const size_t entries = u16(directory);
    for (size_t i = 0; i < entries; ++i) {
        const size_t at = directory + 2 + i * 12;
        if (at + 12 > b.size())
            break;
        const uint16_t tag = u16(at), type = u16(at + 2);
        const int64_t value = type == 3 ? u16(at + 8) : type == 4 ? int64_t(u32(at + 8)) : -1;
        if (tag == 256)
            width = value;
        else if (tag == 257)
            height = value;
    }
    if (width < 0 || height < 0)
        return std::nullopt;
    return std::pair{width, height};
}

// The size written in the fixed header of the format, read before the coder sees the file,
// so that a hostile size is refused by our own rule; std::nullopt when the header does not
// tell (the coder's ping decides then).
std::optional<std::pair<int64_t, int64_t>> declared_size(std::string_view coder,
                                                         std::span<const uint8_t> b) {
    if (coder == "PNG" && b.size() >= 24 && std::memcmp(&b[12], "IHDR", 4) == 0)
        return std::pair{int64_t(be32(&b[16])), int64_t(be32(&b[20]))};
    if (coder == "BMP" && b.size() >= 26 && le32(&b[14]) == 12)
        return std::pair{int64_t(le16(&b[18])), int64_t(le16(&b[20]))};
    if (coder == "BMP" && b.size() >= 26) {
        // A negative height marks rows stored top first.
        const int64_t height = int32_t(le32(&b[22]));
        return std::pair{int64_t(int32_t(le32(&b[18]))), height < 0 ? -height : height};
    }
    if (coder == "PSD" && b.size() >= 22)
        return std::pair{int64_t(be32(&b[18])), int64_t(be32(&b[14]))};
    if (coder == "TGA" && b.size() >= 18)
        return std::pair{int64_t(le16(&b[12])), int64_t(le16(&b[14]))};
    if (coder == "PCX" && b.size() >= 12)
        return std::pair{int64_t(le16(&b[8])) - le16(&b[4]) + 1,
                         int64_t(le16(&b[10])) - le16(&b[6]) + 1};
    if (coder == "TIFF")
        return tiff_size(b);
    return std::nullopt;
}

// Whether ImageMagick can make an image of this size under the limits in force (ours, or
// the distribution's lower ones): within the sides and the area, with a pixel cache that
// fits in memory or on disk. Beyond them, making an image from our pixels does not throw:
// ImageMagick 6 fails an assertion and ends the process.
bool magick_can_hold(int width, int height) {
    using Limits = Magick::ResourceLimits;
    using Size = MagickCore::MagickSizeType;
    const Size pixels = Size(width) * Size(height);
    const Size cache = pixels * sizeof(MagickCore::PixelPacket);
    return Size(width) <= Limits::width() && Size(height) <= Limits::height() &&
           pixels <= Limits::area() && cache <= std::max(Limits::memory(), Limits::disk());
}

// Pings (header only) and checks the coder and the size; false with last_error set.
bool ping_checked(const Magick::Blob& blob, const char* coder, PictureSize& size) {
    const std::span<const uint8_t> bytes(static_cast<const uint8_t*>(blob.data()), blob.length());
    if (const auto declared = declared_size(coder, bytes))
        if (!picture_size_allowed(declared->first, declared->second))
            return false;
    Magick::Image image = prepared_image(coder);
    try {
        image.ping(blob);
    } catch (const Magick::Warning& w) {
        if (!warning_harmless(w)) {
            set_last_error(error_of(w, kHeaderInvalid));
            return false;
        }
    } catch (const Magick::Exception& e) {
        set_last_error(error_of(e, kHeaderInvalid));
        return false;
    }
    if (!coder_allowed(image.magick())) {
        set_last_error(kCoderRefused);
        return false;
    }
    // A coder that refuses a header (its own limits, a field it cannot use) loads no
    // image and reports no size.
    if (image.columns() == 0 || image.rows() == 0) {
        set_last_error(kHeaderInvalid);
        return false;
    }
    if (!picture_size_allowed(int64_t(image.columns()), int64_t(image.rows())))
        return false;
    // The coders' own paths for pictures beyond the limits are the least trodden (the
    // metafile reader leaks there): such pictures are not handed to them.
    if (!magick_can_hold(int(image.columns()), int(image.rows()))) {
        set_last_error(kTooLarge);
        return false;
    }
    size = {int(image.columns()), int(image.rows())};
    return true;
}

bool load_blob(PictureSource& source, Magick::Blob& blob) {
    const std::span<const uint8_t> bytes = source.contents();
    if (bytes.empty()) {
        if (last_error() == kNoError)
            set_last_error(kHeaderInvalid);
        return false;
    }
    blob.update(bytes.data(), bytes.size());
    return true;
}

// Metafiles are drawn on a transparent canvas; they show on light grey.
void flatten_on_background(Magick::Image& image) {
    if (!image.matte())
        return;
    Magick::Image canvas(Magick::Geometry(image.columns(), image.rows()), image.backgroundColor());
    canvas.composite(image, 0, 0, Magick::OverCompositeOp);
    image = canvas;
}

// The TGA reader keeps the rows in file order and only notes where the picture starts.
// Most files start at the bottom left, so their first row is the bottom one; a file that
// starts at the right holds each row right to left.
void apply_tga_origin(Magick::Image& image, const Magick::Blob& blob) {
    if (blob.length() < 18)
        return;
    const uint8_t descriptor = static_cast<const uint8_t*>(blob.data())[17];
    if ((descriptor & 0x20) == 0)
        image.flip();
    if (descriptor & 0x10)
        image.flop();
}

// 24-bit RGB from whatever the coder produced: CMYK and other spaces are converted; grey
// pictures already hold equal channels.
RgbImage export_rgb(Magick::Image& image) {
    const MagickCore::ColorspaceType space = image.colorSpace();
    if (space != MagickCore::sRGBColorspace && space != MagickCore::RGBColorspace &&
        space != MagickCore::GRAYColorspace && space != MagickCore::TransparentColorspace)
        image.colorSpace(MagickCore::sRGBColorspace);
    RgbImage rgb = RgbImage::allocate(int(image.columns()), int(image.rows()));
    if (!rgb.empty())
        image.write(0, 0, image.columns(), image.rows(), "RGB", Magick::CharPixel, rgb.data());
    return rgb;
}

const char* writer_coder(TargetFormat format) {
    switch (format) {
    case TargetFormat::Bmp:
        return "BMP3";
    case TargetFormat::Pcx:
        return "PCX";
    case TargetFormat::Tga:
        return "TGA";
    case TargetFormat::Tiff:
        return "TIFF";
    case TargetFormat::Png:
        return "PNG24";
    case TargetFormat::Psd:
        return "PSD";
    case TargetFormat::Jpeg:
        break;
    }
    return nullptr;
}

} // namespace

const char* magick_coder(int code) {
    switch (code) {
    case kFormatBmp:
        return "BMP";
    case kFormatPng:
        return "PNG";
    case kFormatPcx:
        return "PCX";
    case kFormatTiff:
        return "TIFF";
    case kFormatWmf:
        return "WMF";
    case kFormatPsd:
        return "PSD";
    case kFormatWbmp:
        return "WBMP";
    case kFormatTga:
        return "TGA";
    default:
        return nullptr;
    }
}

std::optional<PictureSize> magick_size(PictureSource& source, const char* coder) {
    init_magick();
    try {
        Magick::Blob blob;
        PictureSize size;
        if (!load_blob(source, blob) || !ping_checked(blob, coder, size))
            return std::nullopt;
        set_last_error(kNoError);
        return size;
    } catch (const Magick::Exception& e) {
        set_last_error(error_of(e, kHeaderInvalid));
    } catch (const std::bad_alloc&) {
        set_last_error(kOutOfMemory);
    }
    return std::nullopt;
}

RgbImage read_magick(PictureSource& source, const char* coder) {
    init_magick();
    try {
        Magick::Blob blob;
        PictureSize size;
        // The header decides before any pixel memory is taken.
        if (!load_blob(source, blob) || !ping_checked(blob, coder, size))
            return {};
        Magick::Image image = prepared_image(coder);
        try {
            image.read(blob);
        } catch (const Magick::Warning& w) {
            if (!warning_harmless(w)) {
                set_last_error(error_of(w, kDecodeFailed));
                return {};
            }
        }
        if (!coder_allowed(image.magick())) {
            set_last_error(kCoderRefused);
            return {};
        }
        if (int(image.columns()) != size.width || int(image.rows()) != size.height) {
            set_last_error(kDecodeFailed);
            return {};
        }
        if (std::string_view(coder) == "WMF")
            flatten_on_background(image);
        if (std::string_view(coder) == "TGA")
            apply_tga_origin(image, blob);
        return export_rgb(image);
    } catch (const Magick::Exception& e) {
        set_last_error(error_of(e, kDecodeFailed));
    } catch (const std::bad_alloc&) {
        set_last_error(kOutOfMemory);
    }
    return {};
}

bool write_magick(PictureTarget& target, const RgbImage& image, TargetFormat format) {
    init_magick();
    const char* coder = writer_coder(format);
    if (!coder) {
        set_last_error(kBadArgument);
        return false;
    }
    if (!magick_can_hold(image.width(), image.height())) {
        set_last_error(kTooLarge);
        return false;
    }
    Magick::Blob blob;
    try {
        Magick::Image picture(size_t(image.width()), size_t(image.height()), "RGB",
                              Magick::CharPixel, image.data());
        picture.quiet(true);
        picture.depth(8);
        picture.type(Magick::TrueColorType);
        if (format == TargetFormat::Tiff)
            picture.compressType(Magick::NoCompression);
        // Rows go out top first; without an orientation the TGA writer would mark them as
        // stored from the bottom and every other program would show the picture upside down.
        picture.orientation(Magick::TopLeftOrientation);
        // The same pixels give the same file: no time stamps in PNG chunks.
        picture.defineValue("png", "exclude-chunks", "date,time");
        picture.magick(coder);
        picture.write(&blob);
    } catch (const Magick::Exception& e) {
        set_last_error(error_of(e, kEncodeFailed));
        return false;
    } catch (const std::bad_alloc&) {
        set_last_error(kOutOfMemory);
        return false;
    }
    if (blob.length() == 0) {
        set_last_error(kEncodeFailed);
        return false;
    }
    return target.write({static_cast<const uint8_t*>(blob.data()), blob.length()});
}

} // namespace orvix::picture::detail
