#include "imaging/picture_layer.h"

#include "imaging/codecs.h"

#include "fs/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace orvix::picture {

namespace {

thread_local int32_t t_last_error = kNoError;

void swap_pixels(uint8_t* a, uint8_t* b) {
    std::swap(a[0], b[0]);
    std::swap(a[1], b[1]);
    std::swap(a[2], b[2]);
}

} // namespace

void BufferFreer::operator()(uint8_t* buffer) const {
    std::free(buffer);
}

Buffer allocate_buffer(size_t size) {
    constexpr size_t kHugePage = size_t{2} << 20;
    if (size < 4 * kHugePage)
        return Buffer(static_cast<uint8_t*>(std::malloc(size)));
    const size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
    void* buffer = std::aligned_alloc(kHugePage, rounded);
    if (buffer)
        ::madvise(buffer, rounded, MADV_HUGEPAGE);
    return Buffer(static_cast<uint8_t*>(buffer));
}

int32_t last_error() {
    return t_last_error;
}

void set_last_error(int32_t code) {
    t_last_error = code;
}

bool picture_size_allowed(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) {
        set_last_error(kEmptyPicture);
        return false;
    }
    if (width > kMaxPictureSide || height > kMaxPictureSide ||
        width * height > kMaxPictureBytes / 3) {
        set_last_error(kTooLarge);
        return false;
    }
    return true;
}

RgbImage RgbImage::allocate(int width, int height) {
    RgbImage image;
    if (!picture_size_allowed(width, height))
        return image;
    // Left uninitialised: every caller overwrites each byte, and clearing a camera
    // picture's buffer costs as much as a fast decode step.
    image.m_pixels = allocate_buffer(size_t(width) * size_t(height) * 3);
    if (!image.m_pixels) {
        set_last_error(kOutOfMemory);
        return image;
    }
    image.m_width = width;
    image.m_height = height;
    set_last_error(kNoError);
    return image;
}

// --- PictureSource ------------------------------------------------------------------------

PictureSource::PictureSource() = default;

PictureSource::~PictureSource() {
    close();
}

bool PictureSource::open(const std::string& path) {
    close();
    m_path = path;
    off_t size = 0;
    UniqueFd fd = open_regular_file(path, size);
    if (!fd.valid()) {
        set_last_error(kOpenFailed);
        return false;
    }
    m_fd = fd.release();
    m_file_size = size;
    set_last_error(kNoError);
    return true;
}

void PictureSource::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_bytes.reset();
    m_loaded = 0;
    m_position = 0;
    m_file_size = 0;
}

bool PictureSource::load_up_to(size_t count) {
    count = std::min(count, size_t(m_file_size));
    if (count <= m_loaded)
        return true;
    if (m_fd < 0) {
        set_last_error(kOpenFailed);
        return false;
    }
    if (int64_t(count) > kMaxPictureBytes) {
        set_last_error(kTooLarge);
        return false;
    }
    Buffer grown = allocate_buffer(count);
    if (!grown) {
        set_last_error(kOutOfMemory);
        return false;
    }
    if (m_loaded > 0)
        std::memcpy(grown.get(), m_bytes.get(), m_loaded);
    // Bytes are only ever read in order, so the file position is always m_loaded.
    const ssize_t n =
        read_full(m_fd, reinterpret_cast<char*>(grown.get() + m_loaded), count - m_loaded);
    if (n < 0) {
        close();
        set_last_error(kOpenFailed);
        return false;
    }
    m_bytes = std::move(grown);
    m_loaded += size_t(n);
    // A file that shrank while being read ends where the bytes ended.
    if (m_loaded < count)
        m_file_size = int64_t(m_loaded);
    return true;
}

std::span<const uint8_t> PictureSource::read(size_t count) {
    const size_t end = m_position + std::min(count, size_t(m_file_size));
    if (!load_up_to(end) || m_position >= m_loaded)
        return {};
    const size_t start = m_position;
    m_position = std::min(end, m_loaded);
    return {m_bytes.get() + start, m_position - start};
}

std::span<const uint8_t> PictureSource::prefix(size_t count) {
    if (!load_up_to(count))
        return {};
    return {m_bytes.get(), std::min(count, m_loaded)};
}

std::span<const uint8_t> PictureSource::contents() {
    if (!load_up_to(size_t(m_file_size)))
        return {};
    return {m_bytes.get(), m_loaded};
}

int64_t PictureSource::read_at(int64_t offset, uint8_t* buffer, size_t count) {
    if (m_fd < 0 || offset < 0)
        return -1;
    return int64_t(pread_full(m_fd, buffer, count, offset));
}

// --- PictureTarget ------------------------------------------------------------------------

PictureTarget::~PictureTarget() = default;

bool PictureTarget::open(const std::string& path) {
    m_file = std::make_unique<ReplacementFile>(path);
    if (m_file->error()) {
        m_file.reset();
        set_last_error(kCreateFailed);
        return false;
    }
    set_last_error(kNoError);
    return true;
}

bool PictureTarget::write(std::span<const uint8_t> bytes) {
    if (!m_file ||
        write_all(m_file->fd(), reinterpret_cast<const char*>(bytes.data()), bytes.size()) != 0) {
        m_file.reset();
        set_last_error(kWriteFailed);
        return false;
    }
    set_last_error(kNoError);
    return true;
}

bool PictureTarget::commit() {
    // A replaced picture must not be lost to a crash between rename and write-back; a
    // new file (a thumbnail, a conversion) has nothing to lose and skips the wait.
    const bool done = m_file && m_file->commit(m_file->replaces_existing()) == 0;
    m_file.reset();
    set_last_error(done ? kNoError : kWriteFailed);
    return done;
}

// --- Formats ------------------------------------------------------------------------------

namespace {

using detail::le16;
using detail::le32;

bool starts_with(std::span<const uint8_t> bytes, std::initializer_list<uint8_t> magic) {
    return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
}

bool looks_like_bmp(std::span<const uint8_t> b) {
    if (b.size() < 18 || b[0] != 'B' || b[1] != 'M')
        return false;
    const uint32_t header = le32(&b[14]);
    return header == 12 || header == 40 || header == 52 || header == 56 || header == 64 ||
           header == 108 || header == 124;
}

bool looks_like_pcx(std::span<const uint8_t> b) {
    if (b.size() < 66 || b[0] != 0x0A)
        return false;
    const bool version = b[1] == 0 || (b[1] >= 2 && b[1] <= 5);
    const bool bits = b[3] == 1 || b[3] == 2 || b[3] == 4 || b[3] == 8;
    const bool planes = b[65] == 1 || b[65] == 3 || b[65] == 4;
    return version && b[2] <= 1 && bits && planes && le16(&b[8]) >= le16(&b[4]) &&
           le16(&b[10]) >= le16(&b[6]);
}

bool looks_like_wmf(std::span<const uint8_t> b) {
    if (starts_with(b, {0xD7, 0xCD, 0xC6, 0x9A}))
        return true;
    if (b.size() < 18)
        return false;
    const uint16_t type = le16(&b[0]);
    const uint16_t version = le16(&b[4]);
    return (type == 1 || type == 2) && le16(&b[2]) == 9 && (version == 0x0100 || version == 0x0300);
}

bool looks_like_emf(std::span<const uint8_t> b) {
    return b.size() >= 44 && le32(&b[0]) == 1 && b[40] == ' ' && b[41] == 'E' && b[42] == 'M' &&
           b[43] == 'F';
}

// WBMP has no magic number: type 0, a zero header byte, two multi-byte sizes, and then
// exactly one bit a pixel to the end of the file.
bool looks_like_wbmp(std::span<const uint8_t> b, int64_t file_size) {
    if (b.size() < 4 || b[0] != 0 || b[1] != 0)
        return false;
    size_t at = 2;
    auto multi_byte = [&](int64_t& value) {
        value = 0;
        for (int i = 0; i < 4 && at < b.size(); ++i) {
            const uint8_t byte = b[at++];
            value = (value << 7) | (byte & 0x7F);
            if (!(byte & 0x80))
                return true;
        }
        return false;
    };
    int64_t width = 0, height = 0;
    if (!multi_byte(width) || !multi_byte(height) || width <= 0 || height <= 0)
        return false;
    return file_size == int64_t(at) + (width + 7) / 8 * height;
}

// TGA has no magic number either; its 18-byte header must hold together.
bool looks_like_tga(std::span<const uint8_t> b, int64_t file_size) {
    if (b.size() < 18)
        return false;
    const uint8_t map_type = b[1], type = b[2], map_bits = b[7], depth = b[16];
    const bool mapped = type == 1 || type == 9;
    const bool truecolour = type == 2 || type == 10;
    const bool grey = type == 3 || type == 11;
    if (!(mapped || truecolour || grey) || map_type > 1 || (mapped && map_type != 1))
        return false;
    if (map_type == 1 && map_bits != 15 && map_bits != 16 && map_bits != 24 && map_bits != 32)
        return false;
    if (truecolour && depth != 15 && depth != 16 && depth != 24 && depth != 32)
        return false;
    if ((mapped || grey) && depth != 8 && depth != 16)
        return false;
    if ((b[17] & 0xC0) != 0 || le16(&b[12]) == 0 || le16(&b[14]) == 0)
        return false;
    const int64_t map_bytes = map_type ? int64_t(le16(&b[5])) * ((map_bits + 7) / 8) : 0;
    return file_size > 18 + int64_t(b[0]) + map_bytes;
}

} // namespace

int guess_file_type(PictureSource& source) {
    const std::span<const uint8_t> b = source.read(128);
    if (starts_with(b, {0xFF, 0xD8, 0xFF}))
        return kFormatJpeg;
    if (starts_with(b, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}))
        return kFormatPng;
    if (starts_with(b, {'I', 'I', 42, 0}) || starts_with(b, {'M', 'M', 0, 42}) ||
        starts_with(b, {'I', 'I', 43, 0}) || starts_with(b, {'M', 'M', 0, 43}))
        return kFormatTiff;
    if (starts_with(b, {'8', 'B', 'P', 'S', 0}) && b.size() > 5 && (b[5] == 1 || b[5] == 2))
        return kFormatPsd;
    if (looks_like_bmp(b))
        return kFormatBmp;
    if (looks_like_wmf(b))
        return kFormatWmf;
    if (looks_like_emf(b))
        return kFormatEmf;
    if (looks_like_pcx(b))
        return kFormatPcx;
    if (looks_like_wbmp(b, source.file_size()))
        return kFormatWbmp;
    if (looks_like_tga(b, source.file_size()))
        return kFormatTga;
    return kFormatUnknown;
}

bool format_readable(int code) {
    return code == kFormatJpeg || detail::magick_coder(code) != nullptr;
}

namespace {

// Sets last_error for a code that selects no reader; true when one exists.
bool reader_exists(int code) {
    if (format_readable(code))
        return true;
    const bool known = code == kFormatUnknown || code == kFormatEmf || code == kFormatPax ||
                       code == kFormatTla || code == kFormatTlaPlain;
    set_last_error(known ? kUnknownFormat : kNoReader);
    return false;
}

} // namespace

std::optional<PictureSize> read_picture_size(PictureSource& source, int code) {
    if (!reader_exists(code))
        return std::nullopt;
    if (code == kFormatJpeg)
        return detail::jpeg_size(source);
    // The kinds the direct decoders take are measured as they read them, without loading
    // the file.
    if (code == kFormatTiff)
        if (std::optional<PictureSize> size = detail::tiff_size_directly(source))
            return size;
    if (code == kFormatPng)
        if (std::optional<PictureSize> size = detail::png_size_directly(source))
            return size;
    return detail::magick_size(source, detail::magick_coder(code));
}

std::optional<PictureSize> read_declared_size(PictureSource& source, int code) {
    if (code == kFormatWmf && reader_exists(code))
        return detail::magick_declared_size(source, detail::magick_coder(code));
    return read_picture_size(source, code);
}

RgbImage read_picture(PictureSource& source, int code, PictureSize min_size) {
    if (!reader_exists(code))
        return {};
    if (code == kFormatJpeg)
        return detail::read_jpeg(source, min_size);
    if (code == kFormatTiff)
        if (std::optional<RgbImage> image = detail::read_tiff_directly(source, min_size))
            return std::move(*image);
    if (code == kFormatPng)
        if (std::optional<RgbImage> image = detail::read_png_directly(source, min_size))
            return std::move(*image);
    return detail::read_magick(source, detail::magick_coder(code), min_size);
}

std::optional<TargetFormat> target_format(const std::string& extension) {
    if (extension == "jpg" || extension == "jpeg")
        return TargetFormat::Jpeg;
    if (extension == "bmp")
        return TargetFormat::Bmp;
    if (extension == "pcx")
        return TargetFormat::Pcx;
    if (extension == "tga")
        return TargetFormat::Tga;
    if (extension == "tif" || extension == "tiff")
        return TargetFormat::Tiff;
    if (extension == "png")
        return TargetFormat::Png;
    if (extension == "psd")
        return TargetFormat::Psd;
    return std::nullopt;
}

bool write_picture(PictureTarget& target, const RgbImage& image, TargetFormat format, int quality) {
    if (image.empty()) {
        set_last_error(kEmptyPicture);
        return false;
    }
    if (format == TargetFormat::Jpeg)
        return detail::write_jpeg(target, image, std::clamp(quality, 1, 100));
    if (format == TargetFormat::Png)
        return detail::write_png(target, image);
    return detail::write_magick(target, image, format);
}

bool write_jpeg_keeping(PictureTarget& target, const RgbImage& image, int quality,
                        std::span<const uint8_t> metadata, const ExifChange& change) {
    if (image.empty()) {
        set_last_error(kEmptyPicture);
        return false;
    }
    return detail::write_jpeg(target, image, std::clamp(quality, 1, 100), metadata, change);
}

bool jpeg_transform(PictureSource& source, PictureTarget& target, int code) {
    return detail::transform_jpeg(source, target, code);
}

// --- Pixel operations ---------------------------------------------------------------------

bool flip_horizontal(RgbImage& image) {
    if (image.empty()) {
        set_last_error(kEmptyPicture);
        return false;
    }
    const int w = image.width();
    for (int y = 0; y < image.height(); ++y) {
        uint8_t* row = image.row(y);
        for (int x = 0; x < w / 2; ++x)
            swap_pixels(row + size_t(x) * 3, row + size_t(w - 1 - x) * 3);
    }
    set_last_error(kNoError);
    return true;
}

bool flip_vertical(RgbImage& image) {
    if (image.empty()) {
        set_last_error(kEmptyPicture);
        return false;
    }
    const int h = image.height();
    for (int y = 0; y < h / 2; ++y)
        std::swap_ranges(image.row(y), image.row(y) + image.stride(), image.row(h - 1 - y));
    set_last_error(kNoError);
    return true;
}

namespace {

// Quarter turns go through square tiles so that both buffers stay in the cache.
RgbImage rotate_quarter(const RgbImage& image, bool clockwise) {
    const int w = image.width(), h = image.height();
    RgbImage turned = RgbImage::allocate(h, w);
    if (turned.empty())
        return turned;
    constexpr int kTile = 64;
    for (int y0 = 0; y0 < h; y0 += kTile) {
        for (int x0 = 0; x0 < w; x0 += kTile) {
            const int y1 = std::min(h, y0 + kTile), x1 = std::min(w, x0 + kTile);
            for (int y = y0; y < y1; ++y) {
                const uint8_t* from = image.row(y) + size_t(x0) * 3;
                for (int x = x0; x < x1; ++x, from += 3) {
                    // Clockwise (x, y) goes to (h-1-y, x); counter-clockwise to (y, w-1-x).
                    uint8_t* to = clockwise ? turned.row(x) + size_t(h - 1 - y) * 3
                                            : turned.row(w - 1 - x) + size_t(y) * 3;
                    to[0] = from[0];
                    to[1] = from[1];
                    to[2] = from[2];
                }
            }
        }
    }
    return turned;
}

} // namespace

bool quick_rotate(RgbImage& image, int code) {
    if (image.empty()) {
        set_last_error(kEmptyPicture);
        return false;
    }
    if (code == 1) {
        const size_t count = size_t(image.width()) * size_t(image.height());
        uint8_t* p = image.data();
        for (size_t i = 0; i < count / 2; ++i)
            swap_pixels(p + i * 3, p + (count - 1 - i) * 3);
        set_last_error(kNoError);
        return true;
    }
    if (code != 0 && code != 2) {
        set_last_error(kBadArgument);
        return false;
    }
    RgbImage turned = rotate_quarter(image, code == 0);
    if (turned.empty())
        return false;
    image = std::move(turned);
    return true;
}

RgbImage crop(const RgbImage& image, int left, int top, int width, int height) {
    if (width <= 0 || height <= 0) {
        set_last_error(kEmptyPicture);
        return {};
    }
    if (left < 0 || top < 0 || int64_t(left) + width > image.width() ||
        int64_t(top) + height > image.height()) {
        set_last_error(kBadArgument);
        return {};
    }
    RgbImage cut = RgbImage::allocate(width, height);
    if (!cut.empty())
        copy_buffer(image.row(top) + size_t(left) * 3, image.stride(), cut.stride(), height,
                    cut.stride(), cut.data());
    return cut;
}

RgbImage resize(const RgbImage& image, int width, int height) {
    if (image.empty()) {
        set_last_error(kEmptyPicture);
        return {};
    }
    RgbImage resized = RgbImage::allocate(width, height);
    if (resized.empty())
        return resized;
    if (!detail::resample(image, resized)) {
        set_last_error(kOutOfMemory);
        return {};
    }
    return resized;
}

void fill_solid(RgbImage& image, uint32_t colour) {
    const uint8_t rgb[3] = {uint8_t(colour), uint8_t(colour >> 8), uint8_t(colour >> 16)};
    if (rgb[0] == rgb[1] && rgb[1] == rgb[2]) {
        std::memset(image.data(), rgb[0], image.byte_size());
    } else {
        uint8_t* p = image.data();
        for (size_t i = 0; i < image.byte_size(); i += 3)
            std::memcpy(p + i, rgb, 3);
    }
    set_last_error(kNoError);
}

void overlay(RgbImage& base, const RgbImage& overlay, int left, int top) {
    const int x0 = std::max(left, 0), y0 = std::max(top, 0);
    const int x1 = int(std::min<int64_t>(base.width(), int64_t(left) + overlay.width()));
    const int y1 = int(std::min<int64_t>(base.height(), int64_t(top) + overlay.height()));
    if (x0 < x1 && y0 < y1)
        copy_buffer(overlay.row(y0 - top) + size_t(x0 - left) * 3, overlay.stride(),
                    size_t(x1 - x0) * 3, y1 - y0, base.stride(), base.row(y0) + size_t(x0) * 3);
    set_last_error(kNoError);
}

void copy_buffer(const uint8_t* from, size_t from_stride, size_t row_bytes, int rows,
                 size_t to_stride, uint8_t* to) {
    for (int y = 0; y < rows; ++y, from += from_stride, to += to_stride)
        std::memcpy(to, from, row_bytes);
}

} // namespace orvix::picture
