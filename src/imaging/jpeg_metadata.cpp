#include "imaging/jpeg_metadata.h"

#include "imaging/codecs.h"
#include "imaging/exif_dates.h"

#include <exiv2/exiv2.hpp>

#include <cstring>
#include <string>

namespace orvix::picture::detail {

namespace {

constexpr uint8_t kApp0 = 0xE0;
constexpr uint8_t kApp1 = 0xE1;
constexpr uint8_t kApp14 = 0xEE;
constexpr uint8_t kComment = 0xFE;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kStartOfImage = 0xD8;

constexpr uint8_t kExifName[] = {'E', 'x', 'i', 'f', 0, 0};
// Marker, length and "Exif\0\0" come before the TIFF header.
constexpr size_t kTiffStart = 4 + sizeof kExifName;

constexpr uint16_t kTagExifIfd = 0x8769;
constexpr uint16_t kTagGpsIfd = 0x8825;
constexpr uint16_t kTypeByte = 1;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
constexpr uint16_t kTypeSignedByte = 6;
constexpr uint16_t kTypeSignedShort = 8;

bool starts_with(std::span<const uint8_t> bytes, size_t at, std::span<const uint8_t> prefix) {
    return at + prefix.size() <= bytes.size() &&
           std::memcmp(bytes.data() + at, prefix.data(), prefix.size()) == 0;
}

bool is_jfif(std::span<const uint8_t> bytes, const Segment& s) {
    static constexpr uint8_t name[] = {'J', 'F', 'I', 'F', 0};
    return s.marker == kApp0 && starts_with(bytes, s.begin + 4, name);
}

bool is_adobe(std::span<const uint8_t> bytes, const Segment& s) {
    static constexpr uint8_t name[] = {'A', 'd', 'o', 'b', 'e'};
    return s.marker == kApp14 && starts_with(bytes, s.begin + 4, name);
}

// The first directory of a TIFF structure, read and changed in place with every access
// checked against the end. All that is left of our own EXIF walking: two gaps of exiv2's
// that the functions below close.
class FirstDirectory {
public:
    explicit FirstDirectory(std::span<uint8_t> tiff) : m_tiff(tiff) {
        if (tiff.size() < 8 || (tiff[0] != 'I' && tiff[0] != 'M'))
            return;
        m_little = tiff[0] == 'I';
        const uint32_t at = u32(4);
        if (at < 8 || uint64_t(at) + 2 > tiff.size())
            return;
        const uint64_t end = uint64_t(at) + 2 + uint64_t(12) * u16(at) + 4;
        if (end <= tiff.size())
            m_at = at;
    }
    // False when the directory or its entries reach beyond the block.
    bool fits() const { return m_at != 0; }
    size_t count() const { return u16(m_at); }
    size_t entry(size_t i) const { return m_at + 2 + 12 * i; }
    size_t next_link() const { return entry(count()); }

    uint32_t u16(size_t at) const {
        const uint32_t a = m_tiff[at], b = m_tiff[at + 1];
        return m_little ? a | (b << 8) : (a << 8) | b;
    }
    uint32_t u32(size_t at) const {
        return m_little ? u16(at) | (u16(at + 2) << 16) : (u16(at) << 16) | u16(at + 2);
    }
    void put(size_t at, uint32_t value, size_t bytes) {
        for (size_t i = 0; i < bytes; ++i)
            m_tiff[at + (m_little ? i : bytes - 1 - i)] = uint8_t(value >> (8 * i));
    }
    uint8_t byte(size_t at) const { return m_tiff[at]; }

private:
    std::span<uint8_t> m_tiff;
    bool m_little = false;
    size_t m_at = 0;
};

// exiv2 follows the links to the Exif and GPS directories only when they are stored as
// LONGs; any other type makes it drop the whole directory (pixel dimensions, exposure,
// dates) from what it writes back. Some cameras store every integer in one type, so a link
// held in a narrower unsigned or non-negative signed type is rewritten in place as the
// LONG of the same value before exiv2 reads the block.
void widen_directory_links(std::span<uint8_t> tiff) {
    FirstDirectory ifd0(tiff);
    if (!ifd0.fits())
        return;
    for (size_t i = 0; i < ifd0.count(); ++i) {
        const size_t entry = ifd0.entry(i);
        const uint32_t tag = ifd0.u16(entry), type = ifd0.u16(entry + 2);
        if ((tag != kTagExifIfd && tag != kTagGpsIfd) || ifd0.u32(entry + 4) != 1)
            continue;
        uint32_t link = 0;
        if (type == kTypeByte || type == kTypeSignedByte)
            link = ifd0.byte(entry + 8);
        else if (type == kTypeShort || type == kTypeSignedShort)
            link = ifd0.u16(entry + 8);
        else
            continue;
        const bool negative =
            (type == kTypeSignedByte && link > 0x7F) || (type == kTypeSignedShort && link > 0x7FFF);
        if (negative)
            continue;
        ifd0.put(entry + 2, kTypeLong, 2);
        ifd0.put(entry + 8, link, 4);
    }
}

// exiv2 drops the thumbnail it can read, but a link to a directory it could not read (one
// that points back to the first directory, say) stays where it writes in place. That
// thumbnail no longer shows the picture, and a reader following the loop may never stop,
// so the link is cut.
void unlink_second_directory(std::span<uint8_t> tiff) {
    FirstDirectory ifd0(tiff);
    if (ifd0.fits())
        ifd0.put(ifd0.next_link(), 0, 4);
}

// Stores value in the entry's own integer type when the type holds it, else as a LONG;
// entries of other types or of several values are left alone.
void set_number(Exiv2::Exifdatum& entry, uint32_t value) {
    if (entry.count() != 1)
        return;
    uint32_t maximum = 0;
    switch (entry.typeId()) {
    case Exiv2::unsignedByte:
        maximum = 0xFF;
        break;
    case Exiv2::unsignedShort:
        maximum = 0xFFFF;
        break;
    case Exiv2::unsignedLong:
        maximum = 0xFFFFFFFF;
        break;
    case Exiv2::signedByte:
        maximum = 0x7F;
        break;
    case Exiv2::signedShort:
        maximum = 0x7FFF;
        break;
    case Exiv2::signedLong:
        maximum = 0x7FFFFFFF;
        break;
    default:
        return;
    }
    if (value > maximum)
        entry = value;
    else
        entry.setValue(std::to_string(value));
}

void set_number(Exiv2::ExifData& exif, const char* key, uint32_t value) {
    const auto found = exif.findKey(Exiv2::ExifKey(key));
    if (found != exif.end())
        set_number(*found, value);
}

} // namespace

std::optional<Segment> next_segment(std::span<const uint8_t> b, size_t& at) {
    for (;;) {
        // Stray bytes between segments (some cameras write them) and fill bytes are
        // skipped, as libjpeg does.
        while (at < b.size() && b[at] != 0xFF)
            ++at;
        while (at + 1 < b.size() && b[at + 1] == 0xFF)
            ++at;
        if (at + 4 > b.size())
            return std::nullopt;
        const uint8_t marker = b[at + 1];
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2; // a stuffed zero, TEM or a restart marker: no length, nothing to keep
            continue;
        }
        if (marker == kStartOfScan || marker == kEndOfImage || marker == kStartOfImage)
            return std::nullopt;
        const size_t length = size_t(b[at + 2] << 8) | b[at + 3];
        if (length < 2 || at + 2 + length > b.size())
            return std::nullopt;
        const Segment segment{marker, at, at + 2 + length};
        at = segment.end;
        return segment;
    }
}

bool is_exif(std::span<const uint8_t> bytes, const Segment& s) {
    return s.marker == kApp1 && starts_with(bytes, s.begin + 4, kExifName);
}

std::optional<PictureSize> frame_size(std::span<const uint8_t> jpeg) {
    size_t at = 2;
    while (const std::optional<Segment> s = next_segment(jpeg, at)) {
        const bool frame = s->marker >= 0xC0 && s->marker <= 0xCF && s->marker != 0xC4 &&
                           s->marker != 0xC8 && s->marker != 0xCC;
        if (frame && s->end - s->begin >= 9)
            return PictureSize{(jpeg[s->begin + 7] << 8) | jpeg[s->begin + 8],
                               (jpeg[s->begin + 5] << 8) | jpeg[s->begin + 6]};
    }
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> rewrite_exif(std::span<const uint8_t> segment,
                                                 const ExifChange& change) {
    if (segment.size() < kTiffStart + 8)
        return std::nullopt;
    prepare_exiv2();
    std::vector<uint8_t> tiff(segment.begin() + kTiffStart, segment.end());
    widen_directory_links(tiff);
    const auto size = static_cast<uint32_t>(tiff.size());
    // exiv2 throws on blocks it cannot make sense of; those stay as they are.
    try {
        Exiv2::ExifData exif;
        const Exiv2::ByteOrder order = Exiv2::ExifParser::decode(exif, tiff.data(), size);
        if (order == Exiv2::invalidByteOrder)
            return std::nullopt;
        if (change.reset_orientation)
            set_number(exif, "Exif.Image.Orientation", 1);
        if (change.width > 0) {
            set_number(exif, "Exif.Image.ImageWidth", uint32_t(change.width));
            set_number(exif, "Exif.Photo.PixelXDimension", uint32_t(change.width));
        }
        if (change.height > 0) {
            set_number(exif, "Exif.Image.ImageLength", uint32_t(change.height));
            set_number(exif, "Exif.Photo.PixelYDimension", uint32_t(change.height));
        }
        // The thumbnail shows the pixels as they were.
        Exiv2::ExifThumb(exif).erase();
        Exiv2::Blob blob;
        // Without a structural change exiv2 writes into tiff in place, else into blob.
        if (Exiv2::ExifParser::encode(blob, tiff.data(), size, order, exif) == Exiv2::wmIntrusive)
            tiff = std::move(blob);
        else
            unlink_second_directory(tiff);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    // A segment length is 16 bits; a block exiv2 could not fit stays as it was.
    if (tiff.empty() || 2 + sizeof kExifName + tiff.size() > 0xFFFF)
        return std::nullopt;
    std::vector<uint8_t> out(segment.begin(), segment.begin() + kTiffStart);
    out.insert(out.end(), tiff.begin(), tiff.end());
    const size_t length = out.size() - 2;
    out[2] = uint8_t(length >> 8);
    out[3] = uint8_t(length & 0xFF);
    return out;
}

bool write_jpeg_with_metadata(PictureTarget& target, std::span<const uint8_t> jpeg,
                              std::span<const uint8_t> metadata, const ExifChange& change) {
    // The EXIF segment to bring in line lies in the inserted metadata, or else in jpeg.
    const std::span<const uint8_t> holder = metadata.empty() ? jpeg : metadata;
    std::optional<Segment> exif;
    size_t at = metadata.empty() ? 2 : 0;
    do
        exif = next_segment(holder, at);
    while (exif && !is_exif(holder, *exif));
    std::optional<std::vector<uint8_t>> rewritten;
    if (exif)
        rewritten = rewrite_exif(holder.subspan(exif->begin, exif->end - exif->begin), change);
    // holder written with its EXIF segment replaced.
    auto write_holder = [&](std::span<const uint8_t> bytes) {
        if (!rewritten)
            return target.write(bytes);
        return target.write(bytes.first(exif->begin)) && target.write(*rewritten) &&
               target.write(bytes.subspan(exif->end));
    };
    if (metadata.empty())
        return write_holder(jpeg);
    size_t insert_at = 2;
    size_t first_at = 2;
    const std::optional<Segment> first = next_segment(jpeg, first_at);
    if (first && first->begin == 2 && is_jfif(jpeg, *first))
        insert_at = first->end;
    return target.write(jpeg.first(insert_at)) && write_holder(metadata) &&
           target.write(jpeg.subspan(insert_at));
}

} // namespace orvix::picture::detail

namespace orvix::picture {

std::vector<uint8_t> jpeg_metadata(PictureSource& source) {
    const std::span<const uint8_t> bytes = source.contents();
    std::vector<uint8_t> kept;
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return kept;
    using namespace detail;
    size_t at = 2;
    while (const std::optional<Segment> segment = next_segment(bytes, at)) {
        const Segment& s = *segment;
        const bool app = s.marker >= kApp0 && s.marker <= 0xEF;
        if ((app || s.marker == kComment) && !is_jfif(bytes, s) && !is_adobe(bytes, s))
            kept.insert(kept.end(), bytes.begin() + std::ptrdiff_t(s.begin),
                        bytes.begin() + std::ptrdiff_t(s.end));
    }
    return kept;
}

} // namespace orvix::picture
