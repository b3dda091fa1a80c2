// The picture library layer: the few services convert_image3 and its neighbours stand on.
// Files are read and written whole, but for plain RGB TIFFs and PNGs, read a piece at a
// time so that a large one can be reduced as it is decoded; images are 24-bit RGB buffers,
// but for the PNG, TIFF, BMP and PSD pictures that hold more (FullPicture). JPEG goes
// through TurboJPEG, plain RGB TIFF through libtiff, PNG through libpng, the other formats
// (and the PNGs libpng is not given) through Magick++ restricted to a fixed list of coders.
//
// Formats with no library on Linux: EMF, PAX and TLA read as unknown; WMF, EMF, PAX and
// TLA cannot be written.
//
// Every operation records its outcome in last_error(): 0 after success, else one of the
// codes below. The values are stable; callers pass them on unchanged.
#pragma once

#include "fs/file_io.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvix::picture {

enum Error : int32_t {
    kNoError = 0,
    kOpenFailed = 1,       // the source file could not be opened or read from disk
    kUnknownFormat = 2,    // the content matches no reader available here
    kHeaderInvalid = 3,    // the header is damaged or ends before the picture's size
    kDecodeFailed = 4,     // the pixel data is damaged or truncated
    kEmptyPicture = 5,     // a width or height of 0 (picture, crop or resize)
    kTooLarge = 6,         // the pixel buffer would exceed 2^31 bytes or a decoder limit
    kOutOfMemory = 7,      // the memory for a buffer could not be had
    kBadArgument = 8,      // an operation code, rectangle or size out of range
    kEncodeFailed = 9,     // the encoder refused the picture
    kCreateFailed = 10,    // the target (its temporary file) could not be created
    kWriteFailed = 11,     // writing, flushing or renaming the target failed (disk full...)
    kCoderRefused = 12,    // the content names a coder outside the allowed list
    kNoReader = 13,        // the format code selects no reader (2, or above 14)
    kTransformFailed = 14, // the lossless JPEG transform failed
};

// Outcome of the last operation on this thread.
int32_t last_error();

// Memory for pixels and file contents, uninitialised. Large buffers sit on huge pages:
// faulting in a camera picture 4 KB at a time costs as much as decoding it.
struct BufferFreer {
    void operator()(uint8_t* buffer) const;
};
using Buffer = std::unique_ptr<uint8_t[], BufferFreer>;
// Null when the memory cannot be had.
Buffer allocate_buffer(size_t size);

// Largest pixel buffer a picture may have, and its longest side (JPEG's own limit; the
// resampler indexes its tables with int, which longer sides could overflow).
inline constexpr int64_t kMaxPictureBytes = int64_t{1} << 31;
inline constexpr int64_t kMaxPictureSide = 65535;

// 24-bit RGB pixels, rows of width * 3 bytes without padding, top row first.
class RgbImage {
public:
    RgbImage() = default;
    // An uninitialised width x height picture; empty (and last_error set) when a side is
    // not positive or beyond kMaxPictureSide, the buffer would exceed kMaxPictureBytes, or
    // memory runs out.
    static RgbImage allocate(int width, int height);

    bool empty() const { return !m_pixels; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    size_t stride() const { return static_cast<size_t>(m_width) * 3; }
    size_t byte_size() const { return stride() * static_cast<size_t>(m_height); }
    uint8_t* data() { return m_pixels.get(); }
    const uint8_t* data() const { return m_pixels.get(); }
    uint8_t* row(int y) { return data() + stride() * static_cast<size_t>(y); }
    const uint8_t* row(int y) const { return data() + stride() * static_cast<size_t>(y); }

private:
    Buffer m_pixels;
    int m_width = 0;
    int m_height = 0;
};

// True when a width x height RGB buffer is allowed; otherwise sets last_error.
bool picture_size_allowed(int64_t width, int64_t height);

struct PictureSize {
    int width = 0;
    int height = 0;
    bool operator==(const PictureSize&) const = default;
};

// --- Source and destination -------------------------------------------------------------

// A picture file opened for reading. Bytes are loaded on demand so that a header can be
// read without the rest; read() advances a position that seek() moves back.
class PictureSource {
public:
    PictureSource();
    ~PictureSource();
    PictureSource(const PictureSource&) = delete;
    PictureSource& operator=(const PictureSource&) = delete;

    // False (kOpenFailed) when the path is not a readable regular file.
    bool open(const std::string& path);
    void close();
    const std::string& path() const { return m_path; }
    int64_t file_size() const { return m_file_size; }

    // Up to count bytes from the position on (fewer at the end of the file).
    std::span<const uint8_t> read(size_t count);
    void seek(size_t offset) { m_position = offset; }
    size_t position() const { return m_position; }
    // The first count bytes of the file (fewer when it is shorter).
    std::span<const uint8_t> prefix(size_t count);
    // The whole file; empty (kOpenFailed or kTooLarge) when it cannot be read.
    std::span<const uint8_t> contents();
    // Up to count bytes from offset on, straight from the file into buffer, for a decoder
    // that streams a large picture without holding its file; fewer at the end of the file,
    // -1 when reading fails. The position and the bytes already loaded stay as they are.
    int64_t read_at(int64_t offset, uint8_t* buffer, size_t count);

private:
    bool load_up_to(size_t count);

    int m_fd = -1;
    std::string m_path;
    int64_t m_file_size = 0;
    Buffer m_bytes;
    size_t m_loaded = 0;
    size_t m_position = 0;
};

// A file being written: the bytes go to a temporary file in the target's folder, which
// commit() renames over the target (a ReplacementFile of the file services). Until then the target
// is untouched; a target that is never committed leaves no temporary file behind.
class PictureTarget {
public:
    PictureTarget() = default;
    ~PictureTarget();
    PictureTarget(const PictureTarget&) = delete;
    PictureTarget& operator=(const PictureTarget&) = delete;

    // False (kCreateFailed) when no temporary file can be made beside the target.
    bool open(const std::string& path);
    // False (kWriteFailed) on a short write.
    bool write(std::span<const uint8_t> bytes);
    // Flushes and renames over the target. False (kWriteFailed) when that fails, in which
    // case the temporary file is removed.
    bool commit();

private:
    std::unique_ptr<ReplacementFile> m_file;
};

// --- Formats ----------------------------------------------------------------------------

enum FormatCode : int {
    kFormatUnknown = 0,
    kFormatBmp = 1,
    kFormatJpeg = 3,
    kFormatPng = 4,
    kFormatPcx = 5,
    kFormatTiff = 6,
    kFormatWmf = 7,
    kFormatEmf = 8,
    kFormatPax = 9,
    kFormatPsd = 10,
    kFormatTla = 11,
    kFormatTlaPlain = 12,
    kFormatWbmp = 13,
    kFormatTga = 14,
};

// The format code of the content from the source's position on (magic numbers, then the
// TGA and WBMP header checks). The position moves; callers rewind with seek(0).
int guess_file_type(PictureSource& source);

// Whether a reader exists for the format code on this system.
bool format_readable(int code);

// The picture's size from its header alone, as read_picture would give it; std::nullopt
// (last_error set) when the header is broken, the size is 0 or the picture is too large.
std::optional<PictureSize> read_picture_size(PictureSource& source, int code);

// The size that read_picture's result stands for when it is given a min_size: that of
// read_picture_size, but a metafile's as it declares it even when that is too large to
// draw whole (it is then only drawn smaller).
std::optional<PictureSize> read_declared_size(PictureSource& source, int code);

// Decodes the whole picture to 24 bits. With a min_size (0 x 0: full size) it may come out
// smaller, never below min_size: a JPEG decoded at a reduced scale, a metafile drawn at
// that size, other pictures reduced by box averaging as they are decoded. Empty
// (last_error set) on failure; pictures too large or with a side of 0 are refused from the
// header, before any allocation.
RgbImage read_picture(PictureSource& source, int code, PictureSize min_size = {});

enum class TargetFormat { Jpeg, Bmp, Pcx, Tga, Tiff, Png, Psd };

// The writer for a lower-case target extension; std::nullopt when none exists here.
std::optional<TargetFormat> target_format(const std::string& extension);

// Encodes the picture (JPEG quality 1..100) and writes it to the target.
bool write_picture(PictureTarget& target, const RgbImage& image, TargetFormat format, int quality);

// A tEXt chunk: a Latin-1 keyword of 1 to 79 characters and its text.
struct PngText {
    std::string key;
    std::string text;
};

// The picture encoded as PNG with these texts ahead of its pixels, for a caller that writes
// the bytes itself; empty (last_error set) when the encoder refuses.
std::vector<uint8_t> encode_png(const RgbImage& image, std::span<const PngText> texts);

// --- Pictures kept whole -----------------------------------------------------------------

// A PNG, TIFF, BMP or PSD picture as its file holds it: 16-bit samples, an alpha channel,
// and the compression of its pixels, which a rewrite through 24-bit RGB would lose. The
// operations match those on RgbImage; a failure leaves the picture empty or unchanged and
// sets last_error.
class FullPicture {
public:
    FullPicture();
    ~FullPicture();
    FullPicture(FullPicture&&) noexcept;
    FullPicture& operator=(FullPicture&&) noexcept;

    bool empty() const;
    int width() const;
    int height() const;

    bool flip_horizontal();
    bool flip_vertical();
    // 0: 90, 1: 180, 2: 270 degrees clockwise.
    bool quick_rotate(int code);
    bool crop(int left, int top, int width, int height);
    // The picture resized (Lanczos) to fit_width x fit_height and laid at (fit_left,
    // fit_top) on an opaque black width x height canvas, its alpha kept where it lies.
    bool fit_on_canvas(int width, int height, int fit_left, int fit_top, int fit_width,
                       int fit_height);
    // Written in format with the samples, alpha and compression it holds, as far as the
    // format has them (a TIFF or PSD keeps its compression when it was read from one).
    bool write(PictureTarget& target, TargetFormat format) const;

    struct Impl;

private:
    explicit FullPicture(std::unique_ptr<Impl> impl);
    friend FullPicture read_full_picture(PictureSource& source, int code);
    std::unique_ptr<Impl> m_impl;
};

// Whether writing the picture in format through 24-bit RGB would lose what its file holds
// (16-bit samples, an alpha channel, the compression of a TIFF or PSD written as such).
// False for JPEG and the other formats, and when the header does not tell (the RGB read
// then reports the fault).
bool needs_full_picture(PictureSource& source, int code, TargetFormat format);

// Decodes the picture whole; empty (last_error set) on failure, with the same limits as
// read_picture.
FullPicture read_full_picture(PictureSource& source, int code);

// --- JPEG metadata ------------------------------------------------------------------------

// How a JPEG's EXIF block follows its pixels: the orientation set to 1 (the pixels were
// turned to stand as the user saw them), the pixel dimensions set to width x height. The
// embedded thumbnail, which would show the old pixels, always goes.
struct ExifChange {
    bool reset_orientation = false;
    int width = 0;
    int height = 0;
};

// The APPn and COM segments of a JPEG ahead of its first scan, as they stand in the file,
// but its JFIF and Adobe segments (an encoder writes its own). Empty for other files.
std::vector<uint8_t> jpeg_metadata(PictureSource& source);

// Encodes the picture as JPEG with those segments of another JPEG after its own header,
// their EXIF block brought in line with change.
bool write_jpeg_keeping(PictureTarget& target, const RgbImage& image, int quality,
                        std::span<const uint8_t> metadata, const ExifChange& change);

// --- Pixel operations (false / empty with last_error set on failure) ----------------------

bool flip_horizontal(RgbImage& image);
bool flip_vertical(RgbImage& image);
// 0: 90, 1: 180, 2: 270 degrees clockwise.
bool quick_rotate(RgbImage& image, int code);
RgbImage crop(const RgbImage& image, int left, int top, int width, int height);
// Resampled with a Lanczos-3 filter.
RgbImage resize(const RgbImage& image, int width, int height);
// Colour as 0x00BBGGRR (red in the low byte).
void fill_solid(RgbImage& image, uint32_t colour);
// Lays overlay on base with its top-left corner at (left, top), fully opaque; the parts
// outside base are cut off.
void overlay(RgbImage& base, const RgbImage& overlay, int left, int top);
// Copies rows of row_bytes bytes between buffers with their own strides.
void copy_buffer(const uint8_t* from, size_t from_stride, size_t row_bytes, int rows,
                 size_t to_stride, uint8_t* to);

// --- Lossless JPEG transform --------------------------------------------------------------

// Codes: 1 flip horizontally, 2 flip vertically, 5/6/7 rotate 90/180/270 clockwise. Partial
// blocks at the edges that the operation would move are trimmed off (as jpegtran -trim);
// every marker of the source is kept, byte for byte but the EXIF block: its orientation
// becomes 1 and its pixel dimensions those of the result, and its embedded thumbnail goes,
// so that no viewer turns the picture a second time. The result goes to target.
bool jpeg_transform(PictureSource& source, PictureTarget& target, int code);

} // namespace orvix::picture
