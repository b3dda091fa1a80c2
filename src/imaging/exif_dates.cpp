#include "imaging/exif_dates.h"

#include <exiv2/exiv2.hpp>

#include <array>
#include <cctype>
#include <exception>

namespace orvix {

namespace {

bool digits(std::string_view text, size_t at, size_t count, int& value) {
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

} // namespace

void prepare_exiv2() {
    static const bool prepared = [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
#ifdef EXV_ENABLE_BMFF
        Exiv2::enableBMFF();
#endif
        return true;
    }();
    (void)prepared;
}

std::optional<std::string> exif_date_text(std::string_view text) {
    static constexpr size_t kLength = 19; // YYYY:MM:DD hh:mm:ss
    if (text.size() < kLength)
        return std::nullopt;
    // Some writers use '-' in the date or a 'T' before the time.
    const auto separator = [&](size_t at, std::string_view allowed) {
        return allowed.find(text[at]) != std::string_view::npos;
    };
    if (!separator(4, ":-") || !separator(7, ":-") || !separator(10, " T") || !separator(13, ":") ||
        !separator(16, ":"))
        return std::nullopt;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!digits(text, 0, 4, year) || !digits(text, 5, 2, month) || !digits(text, 8, 2, day) ||
        !digits(text, 11, 2, hour) || !digits(text, 14, 2, minute) || !digits(text, 17, 2, second))
        return std::nullopt;
    if (year == 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 59)
        return std::nullopt;
    std::string date;
    date.reserve(14);
    for (const auto& [at, count] : std::array<std::pair<size_t, size_t>, 6>{
             {{0, 4}, {5, 2}, {8, 2}, {11, 2}, {14, 2}, {17, 2}}})
        date.append(text.substr(at, count));
    return date;
}

std::optional<std::string> capture_date(const std::string& path) {
    prepare_exiv2();
    // exiv2 throws on files it cannot read or make sense of; such a picture has no date.
    try {
        const Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        for (const char* key : {"Exif.Photo.DateTimeOriginal", "Exif.Photo.DateTimeDigitized",
                                "Exif.Image.DateTime"}) {
            const auto found = exif.findKey(Exiv2::ExifKey(key));
            if (found == exif.end() || found->typeId() != Exiv2::asciiString)
                continue;
            if (std::optional<std::string> date = exif_date_text(found->toString()))
                return date;
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

} // namespace orvix
