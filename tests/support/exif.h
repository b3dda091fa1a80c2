// EXIF blocks for test pictures: written into a JPEG as a camera would (orientation,
// pixel dimensions, a maker string referenced by offset, an embedded thumbnail) and read
// back by a parser of the tests' own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace orvix::test {

struct ExifFields {
    int orientation = 0;  // 0: no orientation tag
    int pixel_width = 0;  // PixelXDimension (LONG); 0 with pixel_height: no such tags
    int pixel_height = 0; // PixelYDimension (SHORT)
    bool thumbnail = false;
    bool operator==(const ExifFields&) const = default;
};

// The maker string of every block add_exif writes, stored by offset.
inline constexpr const char* kExifMake = "OrvixCam Model 7";

// TIFF integer types.
enum class ExifType : uint16_t {
    Byte = 1,
    Short = 3,
    Long = 4,
    SignedByte = 6,
    SignedShort = 8,
    SignedLong = 9,
};

// How the block is stored: its byte order and, when set, one integer type for every
// integer tag (orientation, pixel dimensions, the Exif IFD link, the thumbnail's offset
// and length) instead of the usual mix of SHORT and LONG. A value the type cannot hold is
// a fault of the test.
struct ExifLayout {
    bool little_endian = false;
    std::optional<ExifType> integer_type;
};

// Inserts an EXIF segment right after SOI, byte order "MM" or (little_endian) "II". The
// thumbnail is a 16 x 8 JPEG at the end of the block.
void add_exif(const std::string& jpeg_path, const ExifFields& fields, bool little_endian = false);
void add_exif(const std::string& jpeg_path, const ExifFields& fields, const ExifLayout& layout);

// Inserts count small APP1 segments (not EXIF; each holds its own number) after SOI, as a
// hostile file holds them.
void add_small_segments(const std::string& jpeg_path, size_t count);

// The fields of the file's first EXIF segment (integer tags of any integer type): thumbnail
// true when IFD1 names a thumbnail inside the segment that starts like a JPEG. std::nullopt when
// there is no readable segment or its maker string is not intact.
std::optional<ExifFields> read_exif(const std::string& jpeg_path);

// The file's APPn and COM segments ahead of the first scan, but its EXIF and JFIF ones,
// as bytes.
std::string other_metadata(const std::string& jpeg_path);

// The three dates of an EXIF block as a camera writes them ("YYYY:MM:DD hh:mm:ss"), as text
// stored unchecked; an empty text leaves that tag out.
struct ExifDates {
    std::string original;  // DateTimeOriginal
    std::string digitized; // DateTimeDigitized
    std::string date_time; // DateTime
};

// Writes the dates into the picture's EXIF block with exiftool, a writer of its own; fails
// the current test when exiftool does.
void write_exif_dates(const std::string& path, const ExifDates& dates);

} // namespace orvix::test
