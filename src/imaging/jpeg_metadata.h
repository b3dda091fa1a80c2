// A JPEG's metadata segments and its EXIF block, brought in line with pixels that were
// turned, cropped or resized. Internal to the imaging module.
#pragma once

#include "imaging/picture_layer.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace orvix::picture::detail {

// One marker segment: its marker byte and where it lies, from the 0xFF of its marker to
// the end of its data.
struct Segment {
    uint8_t marker = 0;
    size_t begin = 0;
    size_t end = 0;
};

// The segment at or after offset `at`, with `at` moved past it; std::nullopt at the first
// scan, the end of the picture or a segment cut off by the end of the bytes. Bytes between
// segments are passed over as libjpeg passes over them. A walk with it is one pass that
// holds nothing: a file of millions of segments costs no more than its size.
std::optional<Segment> next_segment(std::span<const uint8_t> bytes, size_t& at);

// True for an APP1 segment that holds an EXIF block.
bool is_exif(std::span<const uint8_t> bytes, const Segment& segment);

// The size in the frame header; std::nullopt when none comes before the first scan.
std::optional<PictureSize> frame_size(std::span<const uint8_t> jpeg);

// The EXIF segment (marker included) rewritten through exiv2: the orientation set to 1 when
// asked, the pixel dimensions (and an image size, where the block has one) set to the
// picture's in the entry's own integer type when it holds them, the embedded thumbnail and
// its bytes dropped. std::nullopt when the block cannot be read; it then stays as it is.
std::optional<std::vector<uint8_t>> rewrite_exif(std::span<const uint8_t> segment,
                                                 const ExifChange& change);

// Writes jpeg (a whole file) with metadata (whole segments of another JPEG) inserted after
// its SOI and JFIF segment, and the EXIF segment among them, or else jpeg's own, brought in
// line with change. Every other byte is written as it stands.
bool write_jpeg_with_metadata(PictureTarget& target, std::span<const uint8_t> jpeg,
                              std::span<const uint8_t> metadata, const ExifChange& change);

} // namespace orvix::picture::detail
