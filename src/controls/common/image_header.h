// The size and kind of a picture read from the first bytes of its file, for laying out the
// grid and placing the viewer's picture without decoding anything.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orvix {

// FileType codes.
inline constexpr int16_t kTypeUnknown = 0;
inline constexpr int16_t kTypeGif = 1;
inline constexpr int16_t kTypeJpeg = 2;
inline constexpr int16_t kTypePng = 3;
inline constexpr int16_t kTypeBitmap = 4;

struct ImageInfo {
    int32_t Width = 0;  // pixels
    int32_t Height = 0; // pixels
    int16_t BitsPerPixel = 0;
    int32_t FileSize = 0; // bytes, held at 2^31 - 1 for larger files
    int16_t FileType = kTypeUnknown;
    bool operator==(const ImageInfo&) const = default;
};

// PNG, GIF and BMP sizes come from their fixed header fields; only the low 16 bits of a
// PNG's width and height are read, as the grid always has. A BMP's sizes are read as the
// format stores them (16 bits unsigned in the OS/2 header, else 32 bits signed, where a
// negative height marks rows stored top first and gives the same height). A JPEG is walked
// marker segment by marker segment from its start to the frame marker of the picture
// itself, so the frame of a thumbnail embedded in an EXIF segment is skipped. Only the
// bytes needed are read. A missing or unreadable file gives zeros; a damaged or short one
// keeps what could be read (its type, sizes of 0).
ImageInfo ReadImageHeader(const std::string& path);

// The same, or nothing when the path names no regular file (missing, a folder, a fifo).
std::optional<ImageInfo> read_header_if_file(const std::string& path);

// The same from a regular file the caller has open, of the size it gave.
ImageInfo read_header_of_open_file(int fd, int64_t file_size);

} // namespace orvix
