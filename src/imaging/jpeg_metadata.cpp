#include "imaging/jpeg_metadata.h"

#include "imaging/codecs.h"

#include <algorithm>
#include <cstring>

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

constexpr uint16_t kTagImageWidth = 0x0100;
constexpr uint16_t kTagImageLength = 0x0101;
constexpr uint16_t kTagOrientation = 0x0112;
constexpr uint16_t kTagExifIfd = 0x8769;
constexpr uint16_t kTagGpsIfd = 0x8825;
constexpr uint16_t kTagPixelX = 0xA002;
constexpr uint16_t kTagPixelY = 0xA003;
constexpr uint16_t kTagThumbnailOffset = 0x0201;
constexpr uint16_t kTagThumbnailLength = 0x0202;
// The integer types of an entry. Cameras store the same tag in different ones (some
// write the orientation as a signed LONG).
constexpr uint16_t kTypeByte = 1;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
constexpr uint16_t kTypeSignedByte = 6;
constexpr uint16_t kTypeSignedShort = 8;
constexpr uint16_t kTypeSignedLong = 9;

// The largest value an integer type holds; 0 for the other types.
uint32_t type_maximum(uint32_t type) {
    switch (type) {
    case kTypeByte:
        return 0xFF;
    case kTypeShort:
        return 0xFFFF;
    case kTypeLong:
        return 0xFFFFFFFF;
    case kTypeSignedByte:
        return 0x7F;
    case kTypeSignedShort:
        return 0x7FFF;
    case kTypeSignedLong:
        return 0x7FFFFFFF;
    default:
        return 0;
    }
}

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

// The TIFF structure of an EXIF block, read and changed in place with every access
// checked against its end.
class Tiff {
public:
    explicit Tiff(std::span<uint8_t> bytes) : m_bytes(bytes) {}

    bool read_header() {
        if (m_bytes.size() < 8)
            return false;
        if (m_bytes[0] == 'I' && m_bytes[1] == 'I')
            m_little = true;
        else if (m_bytes[0] != 'M' || m_bytes[1] != 'M')
            return false;
        return u16(2) == 42;
    }
    size_t size() const { return m_bytes.size(); }
    bool fits(uint64_t at, uint64_t count) const {
        return at <= m_bytes.size() && count <= m_bytes.size() - at;
    }
    uint32_t u16(size_t at) const {
        const uint32_t a = m_bytes[at], b = m_bytes[at + 1];
        return m_little ? a | (b << 8) : (a << 8) | b;
    }
    uint32_t u32(size_t at) const {
        return m_little ? u16(at) | (u16(at + 2) << 16) : (u16(at) << 16) | u16(at + 2);
    }
    void put16(size_t at, uint32_t v) {
        m_bytes[at + (m_little ? 0 : 1)] = uint8_t(v & 0xFF);
        m_bytes[at + (m_little ? 1 : 0)] = uint8_t((v >> 8) & 0xFF);
    }
    void put32(size_t at, uint32_t v) {
        put16(at + (m_little ? 0 : 2), v & 0xFFFF);
        put16(at + (m_little ? 2 : 0), v >> 16);
    }

    // The entries of the IFD at offset; false when it does not fit in the block.
    bool entries(size_t ifd, size_t& first, size_t& count) const {
        if (ifd < 8 || !fits(ifd, 2))
            return false;
        count = u16(ifd);
        first = ifd + 2;
        return fits(first, count * 12 + 4);
    }
    // Offset of the word that links to the next IFD.
    static size_t next_link(size_t first, size_t count) { return first + count * 12; }

    // The single integer of the entry, which sits at the start of its value field; false for
    // other types, for another count and for a negative value (no tag read here has one).
    bool number(size_t entry, uint32_t& value) const {
        const uint32_t type = u16(entry + 2);
        if (u32(entry + 4) != 1 || type_maximum(type) == 0)
            return false;
        uint32_t raw = 0;
        if (type == kTypeByte || type == kTypeSignedByte)
            raw = m_bytes[entry + 8];
        else if (type == kTypeShort || type == kTypeSignedShort)
            raw = u16(entry + 8);
        else
            raw = u32(entry + 8);
        const bool is_signed =
            type == kTypeSignedByte || type == kTypeSignedShort || type == kTypeSignedLong;
        if (is_signed && raw > type_maximum(type))
            return false;
        value = raw;
        return true;
    }
    // Stores value in the entry's own type when it holds it, else makes the entry a LONG
    // (count 1 fits in the value field in every integer type). Entries of other types or
    // counts are left alone.
    void set_number(size_t entry, uint32_t value) {
        uint32_t type = u16(entry + 2);
        if (u32(entry + 4) != 1 || type_maximum(type) == 0)
            return;
        if (value > type_maximum(type)) {
            type = kTypeLong;
            put16(entry + 2, type);
        }
        if (type == kTypeByte || type == kTypeSignedByte)
            m_bytes[entry + 8] = uint8_t(value);
        else if (type == kTypeShort || type == kTypeSignedShort)
            put16(entry + 8, value);
        else
            put32(entry + 8, value);
    }
    // Where the entry's data ends when it does not fit in the entry itself; 0 otherwise.
    uint64_t data_end(size_t entry) const {
        static constexpr uint8_t sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
        const uint32_t type = u16(entry + 2);
        const uint64_t bytes = type < sizeof sizes ? uint64_t(sizes[type]) * u32(entry + 4) : 0;
        return bytes > 4 ? u32(entry + 8) + bytes : 0;
    }

private:
    std::span<uint8_t> m_bytes;
    bool m_little = false;
};

struct IfdChange {
    bool reset_orientation = false;
    int width = 0;
    int height = 0;
};

// Applies the change to one IFD's entries and notes its sub-IFDs and how far the IFD and
// its data reach. False when the IFD cannot be read.
bool change_ifd(Tiff& tiff, size_t ifd, const IfdChange& change, uint32_t& exif_ifd,
                uint32_t& gps_ifd, uint64_t& data_end) {
    size_t first = 0, count = 0;
    if (!tiff.entries(ifd, first, count))
        return false;
    for (size_t i = 0; i < count; ++i) {
        const size_t e = first + 12 * i;
        const uint32_t tag = tiff.u16(e);
        uint32_t value = 0;
        if (tag == kTagOrientation && change.reset_orientation)
            tiff.set_number(e, 1);
        else if ((tag == kTagImageWidth || tag == kTagPixelX) && change.width > 0)
            tiff.set_number(e, uint32_t(change.width));
        else if ((tag == kTagImageLength || tag == kTagPixelY) && change.height > 0)
            tiff.set_number(e, uint32_t(change.height));
        else if (tag == kTagExifIfd && tiff.number(e, value))
            exif_ifd = value;
        else if (tag == kTagGpsIfd && tiff.number(e, value))
            gps_ifd = value;
        data_end = std::max(data_end, tiff.data_end(e));
    }
    data_end = std::max<uint64_t>(data_end, Tiff::next_link(first, count) + 4);
    return true;
}

// Unlinks IFD1 from IFD0 and returns where its thumbnail starts when the thumbnail ends
// the block (0 when the block keeps its length).
size_t drop_thumbnail(Tiff& tiff, size_t ifd0) {
    size_t first = 0, count = 0;
    tiff.entries(ifd0, first, count);
    const size_t link = Tiff::next_link(first, count);
    const uint32_t ifd1 = tiff.u32(link);
    if (ifd1 == 0)
        return 0;
    tiff.put32(link, 0);
    uint32_t offset = 0, length = 0;
    size_t first1 = 0, count1 = 0;
    if (!tiff.entries(ifd1, first1, count1))
        return 0;
    for (size_t i = 0; i < count1; ++i) {
        const size_t e = first1 + 12 * i;
        if (tiff.u16(e) == kTagThumbnailOffset)
            tiff.number(e, offset);
        else if (tiff.u16(e) == kTagThumbnailLength)
            tiff.number(e, length);
    }
    if (offset < 8 || length == 0 || uint64_t(offset) + length != tiff.size())
        return 0;
    return offset;
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
    std::vector<uint8_t> out(segment.begin(), segment.end());
    Tiff tiff(std::span<uint8_t>(out).subspan(kTiffStart));
    if (!tiff.read_header())
        return std::nullopt;
    const IfdChange ifd_change{change.reset_orientation, change.width, change.height};
    const uint32_t ifd0 = tiff.u32(4);
    uint32_t exif_ifd = 0, gps_ifd = 0, unused = 0;
    uint64_t data_end = 0;
    if (!change_ifd(tiff, ifd0, ifd_change, exif_ifd, gps_ifd, data_end))
        return std::nullopt;
    // The sub-IFDs hold the pixel dimensions; their data counts for what the block keeps.
    if (exif_ifd != 0 && !change_ifd(tiff, exif_ifd, ifd_change, unused, unused, data_end))
        return std::nullopt;
    if (gps_ifd != 0 && !change_ifd(tiff, gps_ifd, IfdChange{}, unused, unused, data_end))
        return std::nullopt;
    const size_t cut = drop_thumbnail(tiff, ifd0);
    // Cut only what nothing of the main picture's data reaches into.
    if (cut != 0 && data_end <= cut) {
        out.resize(kTiffStart + cut);
        const size_t length = out.size() - 2;
        out[2] = uint8_t(length >> 8);
        out[3] = uint8_t(length & 0xFF);
    }
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
