#include "support/exif.h"

#include "support/images.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace orvix::test {

namespace {

class TiffWriter {
public:
    TiffWriter(bool little, std::optional<ExifType> type) : m_little(little), m_type(type) {}
    void u16(uint32_t v) {
        const char low = char(v & 0xFF), high = char((v >> 8) & 0xFF);
        bytes.push_back(m_little ? low : high);
        bytes.push_back(m_little ? high : low);
    }
    void u32(uint32_t v) {
        if (m_little) {
            u16(v & 0xFFFF);
            u16(v >> 16);
        } else {
            u16(v >> 16);
            u16(v & 0xFFFF);
        }
    }
    // One IFD entry. A single value smaller than four bytes sits at the start of the
    // value field.
    void entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        u16(tag);
        u16(type);
        u32(count);
        if (count == 1 && (type == 1 || type == 6)) {
            bytes.push_back(char(value));
            bytes.append(3, '\0');
        } else if (count == 1 && (type == 3 || type == 8)) {
            u16(value);
            u16(0);
        } else {
            u32(value);
        }
    }
    // An integer entry in the layout's type, or else in the usual one.
    void integer(uint16_t tag, uint16_t usual, uint32_t value) {
        const uint16_t type = m_type ? uint16_t(*m_type) : usual;
        static constexpr uint32_t maximum[] = {0, 0xFF, 0, 0xFFFF, 0xFFFFFFFF,
                                               0, 0x7F, 0, 0x7FFF, 0x7FFFFFFF};
        EXPECT_LE(value, maximum[type]) << "tag " << tag << " type " << type;
        entry(tag, type, 1, value);
    }
    std::string bytes;

private:
    bool m_little;
    std::optional<ExifType> m_type;
};

class TiffReader {
public:
    TiffReader(const std::string& tiff) : m_tiff(tiff), m_little(tiff.compare(0, 2, "II") == 0) {}
    bool ok(size_t at, size_t n) const { return at + n <= m_tiff.size(); }
    uint32_t u16(size_t at) const {
        const auto b = [&](size_t i) { return uint32_t(uint8_t(m_tiff[at + i])); };
        return m_little ? b(0) | (b(1) << 8) : (b(0) << 8) | b(1);
    }
    uint32_t u32(size_t at) const {
        return m_little ? u16(at) | (u16(at + 2) << 16) : (u16(at) << 16) | u16(at + 2);
    }
    // Value of a count-1 integer entry of the IFD; -1 when absent.
    int64_t value(size_t ifd, uint16_t tag) const {
        if (!ok(ifd, 2))
            return -1;
        const uint32_t n = u16(ifd);
        for (uint32_t i = 0; i < n && ok(ifd + 2 + 12 * i, 12); ++i) {
            const size_t e = ifd + 2 + 12 * i;
            if (u16(e) != tag)
                continue;
            switch (u16(e + 2)) {
            case 1:
                return uint8_t(m_tiff[e + 8]);
            case 3:
                return u16(e + 8);
            case 4:
                return u32(e + 8);
            case 6:
                return int8_t(m_tiff[e + 8]);
            case 8:
                return int16_t(u16(e + 8));
            case 9:
                return int32_t(u32(e + 8));
            default:
                return -1;
            }
        }
        return -1;
    }
    size_t next(size_t ifd) const {
        const size_t at = ifd + 2 + 12 * size_t(u16(ifd));
        return ok(at, 4) ? u32(at) : 0;
    }
    const std::string& m_tiff;

private:
    bool m_little;
};

std::string thumbnail_jpeg() {
    TempDir dir;
    const std::string path = dir.file("thumb.jpg");
    make_jpeg(path, 16, 8);
    return read_file(path);
}

// Segments ahead of the first scan: marker byte and whole segment (marker included).
std::vector<std::pair<uint8_t, std::string>> segments(const std::string& jpeg) {
    std::vector<std::pair<uint8_t, std::string>> found;
    size_t at = 2;
    while (at + 4 <= jpeg.size() && uint8_t(jpeg[at]) == 0xFF) {
        const uint8_t marker = uint8_t(jpeg[at + 1]);
        if (marker == 0xDA || marker == 0xD9)
            break;
        const size_t length = (size_t(uint8_t(jpeg[at + 2])) << 8) | uint8_t(jpeg[at + 3]);
        found.emplace_back(marker, jpeg.substr(at, 2 + length));
        at += 2 + length;
    }
    return found;
}

bool is_exif(const std::pair<uint8_t, std::string>& s) {
    return s.first == 0xE1 && s.second.compare(4, 6, std::string("Exif\0\0", 6)) == 0;
}

} // namespace

void add_exif(const std::string& jpeg_path, const ExifFields& fields, bool little_endian) {
    add_exif(jpeg_path, fields, ExifLayout{little_endian, std::nullopt});
}

void add_exif(const std::string& jpeg_path, const ExifFields& f, const ExifLayout& layout) {
    const bool little = layout.little_endian;
    const std::string make = std::string(kExifMake) + '\0';
    const std::string thumb = f.thumbnail ? thumbnail_jpeg() : std::string();
    const bool dims = f.pixel_width > 0 || f.pixel_height > 0;
    // Layout: header 8, IFD0, make text, Exif IFD, IFD1, thumbnail.
    const uint32_t n0 = 2 + (f.orientation ? 1 : 0);
    const uint32_t ifd0 = 8, ifd0_size = 2 + 12 * n0 + 4;
    const uint32_t make_at = ifd0 + ifd0_size;
    const uint32_t exif_at = make_at + uint32_t(make.size());
    const uint32_t n_exif = dims ? 2 : 1;
    const uint32_t ifd1 = exif_at + 2 + 12 * n_exif + 4;
    const uint32_t thumb_at = ifd1 + 2 + 12 * 3 + 4;

    TiffWriter w(little, layout.integer_type);
    w.bytes = little ? "II" : "MM";
    w.u16(42);
    w.u32(ifd0);
    w.u16(n0);
    w.entry(0x010F, 2, uint32_t(make.size()), make_at);
    if (f.orientation)
        w.integer(0x0112, 3, uint32_t(f.orientation));
    w.integer(0x8769, 4, exif_at);
    w.u32(f.thumbnail ? ifd1 : 0);
    w.bytes += make;
    w.u16(n_exif);
    if (dims) {
        w.integer(0xA002, 4, uint32_t(f.pixel_width));
        w.integer(0xA003, 3, uint32_t(f.pixel_height));
    } else {
        w.entry(0x9000, 7, 4, 0x30323331); // ExifVersion "0231"
    }
    w.u32(0);
    if (f.thumbnail) {
        w.u16(3);
        w.entry(0x0103, 3, 1, 6);
        w.integer(0x0201, 4, thumb_at);
        w.integer(0x0202, 4, uint32_t(thumb.size()));
        w.u32(0);
        w.bytes += thumb;
    }
    const std::string body = std::string("Exif\0\0", 6) + w.bytes;
    const size_t length = body.size() + 2;
    ASSERT_LT(length, 65536u);
    const std::string segment =
        std::string("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + body;
    const std::string jpeg = read_file(jpeg_path);
    write_file(jpeg_path, jpeg.substr(0, 2) + segment + jpeg.substr(2));
}

void add_small_segments(const std::string& jpeg_path, size_t count) {
    std::string segments;
    segments.reserve(count * 8);
    for (size_t i = 0; i < count; ++i) {
        segments += std::string("\xFF\xE1\0\x06", 4);
        for (int shift = 24; shift >= 0; shift -= 8)
            segments += char((i >> shift) & 0xFF);
    }
    const std::string jpeg = read_file(jpeg_path);
    write_file(jpeg_path, jpeg.substr(0, 2) + segments + jpeg.substr(2));
}

std::optional<ExifFields> read_exif(const std::string& jpeg_path) {
    for (const auto& s : segments(read_file(jpeg_path))) {
        if (!is_exif(s))
            continue;
        const std::string tiff = s.second.substr(10);
        const TiffReader r(tiff);
        if (!r.ok(0, 8))
            return std::nullopt;
        const size_t ifd0 = r.u32(4);
        const int64_t make_at = [&]() -> int64_t {
            const uint32_t n = r.ok(ifd0, 2) ? r.u16(ifd0) : 0;
            for (uint32_t i = 0; i < n; ++i)
                if (r.u16(ifd0 + 2 + 12 * i) == 0x010F)
                    return r.u32(ifd0 + 2 + 12 * i + 8);
            return -1;
        }();
        if (make_at < 0 || tiff.compare(size_t(make_at), std::string(kExifMake).size(), kExifMake))
            return std::nullopt;
        ExifFields f;
        f.orientation = int(std::max<int64_t>(0, r.value(ifd0, 0x0112)));
        const int64_t exif_ifd = r.value(ifd0, 0x8769);
        if (exif_ifd > 0) {
            f.pixel_width = int(std::max<int64_t>(0, r.value(size_t(exif_ifd), 0xA002)));
            f.pixel_height = int(std::max<int64_t>(0, r.value(size_t(exif_ifd), 0xA003)));
        }
        if (const size_t ifd1 = r.next(ifd0); ifd1 != 0) {
            const int64_t at = r.value(ifd1, 0x0201), length = r.value(ifd1, 0x0202);
            f.thumbnail = at > 0 && length > 2 && r.ok(size_t(at), size_t(length)) &&
                          tiff.compare(size_t(at), 2, "\xFF\xD8") == 0;
        }
        return f;
    }
    return std::nullopt;
}

std::string other_metadata(const std::string& jpeg_path) {
    std::string kept;
    for (const auto& s : segments(read_file(jpeg_path))) {
        const bool jfif = s.first == 0xE0 && s.second.compare(4, 5, std::string("JFIF\0", 5)) == 0;
        if (((s.first >= 0xE0 && s.first <= 0xEF) || s.first == 0xFE) && !is_exif(s) && !jfif)
            kept += s.second;
    }
    return kept;
}

void write_exif_dates(const std::string& path, const ExifDates& dates) {
    // Single quotes hold anything but a single quote, which no test path or date has.
    const auto quoted = [](const std::string& text) { return "'" + text + "'"; };
    std::string command = "/usr/bin/exiftool -q -n -overwrite_original";
    for (const auto& [tag, value] : {std::pair{"ExifIFD:DateTimeOriginal", &dates.original},
                                     std::pair{"ExifIFD:CreateDate", &dates.digitized},
                                     std::pair{"IFD0:ModifyDate", &dates.date_time}})
        if (!value->empty())
            command += " " + quoted(std::string("-") + tag + "=" + *value);
    command += " " + quoted(path) + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

} // namespace orvix::test
