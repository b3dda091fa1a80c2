#include "imaging/codecs.h"

#include <Magick++.h>
#include <algorithm>
#include <cstdio>
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
Magick::Image prepared_image(const char* coder, double density = 0) {
    Magick::Image image;
    // Magick++ keeps a density in whole dots; the coder reads the text of ours.
    if (density > 0) {
        char text[64];
        std::snprintf(text, sizeof text, "%.6fx%.6f", density, density);
        MagickCore::CloneString(&image.imageInfo()->density, text);
    }
    image.quiet(false);
    image.subImage(0);
    image.subRange(1);
    image.magick(coder);
    if (std::string_view(coder) == "WMF")
        image.backgroundColor(Magick::ColorRGB(208 / 255.0, 208 / 255.0, 208 / 255.0));
    // The composite's colours as stored: undoing a blend with white that ImageMagick's own
    // writer never made would change them at every rewrite of a PSD with alpha.
    if (std::string_view(coder) == "PSD")
        image.defineValue("psd", "alpha-unblend", "off");
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

// Pings (header only) into image and checks the coder and the size; false with last_error
// set.
// A metafile is drawn at density dots an inch (0: at the size it declares).
bool ping_checked(const Magick::Blob& blob, const char* coder, PictureSize& size,
                  Magick::Image& image, double density = 0) {
    const std::span<const uint8_t> bytes(static_cast<const uint8_t*>(blob.data()), blob.length());
    if (const auto declared = declared_size(coder, bytes))
        if (!picture_size_allowed(declared->first, declared->second))
            return false;
    image = prepared_image(coder, density);
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

bool is_metafile(const char* coder) {
    return std::string_view(coder) == "WMF";
}

// A metafile's size at the coder's default 72 dots an inch, as it declares it: only its
// header is read, so a size too large to draw whole costs nothing.
std::optional<PictureSize> metafile_size(const Magick::Blob& blob, const char* coder) {
    Magick::Image image = prepared_image(coder);
    try {
        image.ping(blob);
    } catch (const Magick::Warning& w) {
        if (!warning_harmless(w))
            return std::nullopt;
    } catch (const Magick::Exception&) {
        return std::nullopt;
    }
    constexpr size_t kLongestSide = size_t{1} << 24;
    if (!coder_allowed(image.magick()) || image.columns() == 0 || image.rows() == 0 ||
        image.columns() > kLongestSide || image.rows() > kLongestSide)
        return std::nullopt;
    return PictureSize{int(image.columns()), int(image.rows())};
}

// The density at which a metafile is drawn at least min_size and at most as large as it
// declares; 0 (as declared) for other pictures, without a min_size, or when it is smaller.
double drawing_density(const Magick::Blob& blob, const char* coder, PictureSize min_size) {
    if (!is_metafile(coder) || min_size.width <= 0 || min_size.height <= 0)
        return 0;
    const std::optional<PictureSize> declared = metafile_size(blob, coder);
    if (!declared)
        return 0;
    const double scale = std::max(double(min_size.width) / declared->width,
                                  double(min_size.height) / declared->height);
    return scale < 1 ? 72 * scale : 0;
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

// Decodes the first picture of the source into image, the header checked first so that
// no pixel memory is taken for a refused one; false with last_error set.
bool decode_checked(PictureSource& source, const char* coder, Magick::Blob& blob,
                    Magick::Image& image, PictureSize min_size = {}) {
    PictureSize size;
    if (!load_blob(source, blob))
        return false;
    const double density = drawing_density(blob, coder, min_size);
    if (!ping_checked(blob, coder, size, image, density))
        return false;
    image = prepared_image(coder, density);
    try {
        image.read(blob);
    } catch (const Magick::Warning& w) {
        if (!warning_harmless(w)) {
            set_last_error(error_of(w, kDecodeFailed));
            return false;
        }
    }
    if (!coder_allowed(image.magick())) {
        set_last_error(kCoderRefused);
        return false;
    }
    if (int(image.columns()) != size.width || int(image.rows()) != size.height) {
        set_last_error(kDecodeFailed);
        return false;
    }
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
        Magick::Image pinged;
        if (!load_blob(source, blob) || !ping_checked(blob, coder, size, pinged))
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

std::optional<PictureSize> magick_declared_size(PictureSource& source, const char* coder) {
    if (!is_metafile(coder))
        return magick_size(source, coder);
    init_magick();
    try {
        Magick::Blob blob;
        if (!load_blob(source, blob))
            return std::nullopt;
        const std::optional<PictureSize> declared = metafile_size(blob, coder);
        set_last_error(declared ? kNoError : kHeaderInvalid);
        return declared;
    } catch (const Magick::Exception& e) {
        set_last_error(error_of(e, kHeaderInvalid));
    } catch (const std::bad_alloc&) {
        set_last_error(kOutOfMemory);
    }
    return std::nullopt;
}

RgbImage read_magick(PictureSource& source, const char* coder, PictureSize min_size) {
    init_magick();
    try {
        Magick::Blob blob;
        Magick::Image image;
        if (!decode_checked(source, coder, blob, image, min_size))
            return {};
        if (is_metafile(coder)) {
            flatten_on_background(image);
            return export_rgb(image);
        }
        if (std::string_view(coder) == "TGA")
            apply_tga_origin(image, blob);
        return box_reduce(export_rgb(image), min_size);
    } catch (const Magick::Exception& e) {
        set_last_error(error_of(e, kDecodeFailed));
    } catch (const std::bad_alloc&) {
        set_last_error(kOutOfMemory);
    }
    return {};
}

// Writes a picture its caller has made ready as the coder's format.
bool encode_picture(Magick::Image& picture, const char* coder, PictureTarget& target) {
    Magick::Blob blob;
    try {
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
    try {
        Magick::Image picture(size_t(image.width()), size_t(image.height()), "RGB",
                              Magick::CharPixel, image.data());
        picture.quiet(true);
        picture.depth(8);
        picture.type(Magick::TrueColorType);
        if (format == TargetFormat::Tiff)
            picture.compressType(Magick::NoCompression);
        return encode_picture(picture, coder, target);
    } catch (const Magick::Exception& e) {
        set_last_error(error_of(e, kEncodeFailed));
    } catch (const std::bad_alloc&) {
        set_last_error(kOutOfMemory);
    }
    return false;
}

} // namespace orvix::picture::detail

namespace orvix::picture {

namespace {

// The formats whose files can hold more than 24-bit RGB, as read and as written.
bool full_format(int code) {
    return code == kFormatPng || code == kFormatTiff || code == kFormatBmp || code == kFormatPsd;
}

bool full_format(TargetFormat format) {
    return format == TargetFormat::Png || format == TargetFormat::Tiff ||
           format == TargetFormat::Bmp || format == TargetFormat::Psd;
}

bool same_format(int code, TargetFormat format) {
    return (code == kFormatTiff && format == TargetFormat::Tiff) ||
           (code == kFormatPsd && format == TargetFormat::Psd);
}

bool compressed(MagickCore::CompressionType compression) {
    return compression != MagickCore::NoCompression &&
           compression != MagickCore::UndefinedCompression;
}

// BMP holds 8 bits a sample at most; the others 16, all that the pixel cache keeps.
bool holds_deep_samples(TargetFormat format) {
    return format != TargetFormat::Bmp;
}

// The writer of a kept picture: PNG's by sample depth and alpha, BMP's with an alpha
// channel only in its version 5 header.
const char* full_writer_coder(TargetFormat format, bool deep, bool alpha) {
    switch (format) {
    case TargetFormat::Png:
        return deep ? (alpha ? "PNG64" : "PNG48") : (alpha ? "PNG32" : "PNG24");
    case TargetFormat::Tiff:
        return "TIFF";
    case TargetFormat::Psd:
        return "PSD";
    case TargetFormat::Bmp:
        return alpha ? "BMP" : "BMP3";
    default:
        return nullptr;
    }
}

} // namespace

struct FullPicture::Impl {
    Magick::Image image;
    int code = kFormatUnknown;
    MagickCore::CompressionType compression = MagickCore::NoCompression;
    bool deep = false;
    bool alpha = false;
};

FullPicture::FullPicture() = default;
FullPicture::~FullPicture() = default;
FullPicture::FullPicture(FullPicture&&) noexcept = default;
FullPicture& FullPicture::operator=(FullPicture&&) noexcept = default;
FullPicture::FullPicture(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

bool FullPicture::empty() const {
    return !m_impl;
}

int FullPicture::width() const {
    return m_impl ? int(m_impl->image.columns()) : 0;
}

int FullPicture::height() const {
    return m_impl ? int(m_impl->image.rows()) : 0;
}

namespace {

// Runs an operation on the picture's image; false with last_error set when there is none
// or Magick++ fails.
template <typename Operation> bool run(FullPicture::Impl* impl, Operation&& operation) {
    if (!impl) {
        set_last_error(kEmptyPicture);
        return false;
    }
    try {
        if (!operation(impl->image))
            return false;
        // Offsets of the old page would place the result elsewhere in other programs.
        impl->image.page(Magick::Geometry());
    } catch (const Magick::Exception& e) {
        set_last_error(detail::error_of(e, kOutOfMemory));
        return false;
    } catch (const std::bad_alloc&) {
        set_last_error(kOutOfMemory);
        return false;
    }
    set_last_error(kNoError);
    return true;
}

} // namespace

bool FullPicture::flip_horizontal() {
    return run(m_impl.get(), [](Magick::Image& image) {
        image.flop();
        return true;
    });
}

bool FullPicture::flip_vertical() {
    return run(m_impl.get(), [](Magick::Image& image) {
        image.flip();
        return true;
    });
}

bool FullPicture::quick_rotate(int code) {
    if (code != 0 && code != 1 && code != 2) {
        set_last_error(kBadArgument);
        return false;
    }
    return run(m_impl.get(), [code](Magick::Image& image) {
        image.rotate(90.0 * (code + 1));
        return true;
    });
}

bool FullPicture::crop(int left, int top, int width, int height) {
    if (width <= 0 || height <= 0) {
        set_last_error(kEmptyPicture);
        return false;
    }
    if (left < 0 || top < 0 || int64_t(left) + width > this->width() ||
        int64_t(top) + height > this->height()) {
        set_last_error(kBadArgument);
        return false;
    }
    return run(m_impl.get(), [&](Magick::Image& image) {
        image.crop(Magick::Geometry(size_t(width), size_t(height), left, top));
        return true;
    });
}

bool FullPicture::fit_on_canvas(int width, int height, int fit_left, int fit_top, int fit_width,
                                int fit_height) {
    if (!picture_size_allowed(width, height) || !picture_size_allowed(fit_width, fit_height))
        return false;
    if (!detail::magick_can_hold(width, height) ||
        !detail::magick_can_hold(fit_width, fit_height)) {
        set_last_error(kTooLarge);
        return false;
    }
    const bool alpha = m_impl && m_impl->alpha;
    return run(m_impl.get(), [&](Magick::Image& image) {
        if (int(image.columns()) != fit_width || int(image.rows()) != fit_height) {
            Magick::Geometry size{size_t(fit_width), size_t(fit_height)};
            size.aspect(true);
            image.filterType(Magick::LanczosFilter);
            image.resize(size);
        }
        if (fit_left == 0 && fit_top == 0 && fit_width == width && fit_height == height)
            return true;
        Magick::Image canvas(Magick::Geometry(size_t(width), size_t(height)),
                             Magick::Color("black"));
        canvas.matte(alpha);
        canvas.depth(image.depth());
        canvas.colorSpace(image.colorSpace());
        // Copied, not blended: the picture's alpha stays its own.
        canvas.composite(image, fit_left, fit_top, Magick::CopyCompositeOp);
        const Magick::Blob icc = image.iccColorProfile();
        if (icc.length() > 0)
            canvas.iccColorProfile(icc);
        canvas.resolutionUnits(image.resolutionUnits());
        canvas.density(image.density());
        image = canvas;
        return true;
    });
}

bool FullPicture::write(PictureTarget& target, TargetFormat format) const {
    if (!m_impl) {
        set_last_error(kEmptyPicture);
        return false;
    }
    const bool deep = m_impl->deep && holds_deep_samples(format);
    const char* coder = full_writer_coder(format, deep, m_impl->alpha);
    if (!coder) {
        set_last_error(kBadArgument);
        return false;
    }
    try {
        Magick::Image picture = m_impl->image;
        picture.quiet(true);
        picture.depth(deep ? 16 : 8);
        picture.matte(m_impl->alpha);
        // A TIFF or PSD rewritten keeps its compression; a conversion writes as the
        // 24-bit writers do.
        picture.compressType(same_format(m_impl->code, format) ? m_impl->compression
                             : format == TargetFormat::Psd     ? MagickCore::UndefinedCompression
                                                               : MagickCore::NoCompression);
        return detail::encode_picture(picture, coder, target);
    } catch (const Magick::Exception& e) {
        set_last_error(detail::error_of(e, kEncodeFailed));
    } catch (const std::bad_alloc&) {
        set_last_error(kOutOfMemory);
    }
    return false;
}

bool needs_full_picture(PictureSource& source, int code, TargetFormat format) {
    if (!full_format(code) || !full_format(format))
        return false;
    detail::init_magick();
    try {
        Magick::Blob blob;
        PictureSize size;
        Magick::Image pinged;
        if (!detail::load_blob(source, blob) ||
            !detail::ping_checked(blob, detail::magick_coder(code), size, pinged))
            return false;
        set_last_error(kNoError);
        if (pinged.depth() > 8 && holds_deep_samples(format))
            return true;
        if (pinged.matte() ||
            (code == kFormatTiff && detail::tiff_has_extra_samples(
                                        {static_cast<const uint8_t*>(blob.data()), blob.length()})))
            return true;
        return same_format(code, format) && compressed(pinged.compressType());
    } catch (const Magick::Exception&) {
    } catch (const std::bad_alloc&) {
    }
    set_last_error(kNoError);
    return false;
}

FullPicture read_full_picture(PictureSource& source, int code) {
    const char* coder = detail::magick_coder(code);
    if (!full_format(code) || !coder) {
        set_last_error(kBadArgument);
        return {};
    }
    detail::init_magick();
    try {
        auto impl = std::make_unique<FullPicture::Impl>();
        Magick::Blob blob;
        if (!detail::decode_checked(source, coder, blob, impl->image))
            return {};
        impl->code = code;
        impl->compression = impl->image.compressType();
        impl->deep = impl->image.depth() > 8;
        impl->alpha = impl->image.matte();
        set_last_error(kNoError);
        return FullPicture(std::move(impl));
    } catch (const Magick::Exception& e) {
        set_last_error(detail::error_of(e, kDecodeFailed));
    } catch (const std::bad_alloc&) {
        set_last_error(kOutOfMemory);
    }
    return {};
}

} // namespace orvix::picture
