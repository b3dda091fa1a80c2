// The moment a picture was taken, as its EXIF block records it, read through exiv2.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvix {

// The capture date of the picture at path as YYYYMMDDhhmmss, the form of the file dates:
// EXIF DateTimeOriginal, else DateTimeDigitized, else DateTime. std::nullopt when the file
// has none of them readable, holds only a malformed one ("0000:00:00 00:00:00", blanks), or
// cannot be read at all.
std::optional<std::string> capture_date(const std::string& path);

// An EXIF date text ("YYYY:MM:DD hh:mm:ss", anything after the seconds ignored) as
// YYYYMMDDhhmmss; std::nullopt when it is not a real date and time.
std::optional<std::string> exif_date_text(std::string_view text);

// Called once before exiv2 is used from any thread: mutes its warnings on stderr, prepares
// its XMP parser and lets it read the metadata of ISO media files (CR3, HEIF).
void prepare_exiv2();

} // namespace orvix
