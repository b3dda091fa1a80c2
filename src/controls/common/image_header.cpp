#include "controls/common/image_header.h"

#include "fs/file_io.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>

namespace orvix {

namespace {

// Enough for every fixed header and for the markers of a plain JPEG up to its frame; the
// rest of a JPEG (past an EXIF segment) is reached by seeking over whole segments.
constexpr size_t kFirstRead = 512;

// Bytes of a file read on demand at any offset, keeping the first block.
class HeaderBytes {
public:
    explicit HeaderBytes(int fd) : m_fd(fd) {
        m_head_length = read_at(0, m_head.data(), m_head.size());
    }

    // The byte at offset, or -1 beyond what can be read.
    int at(int64_t offset) {
        if (offset < 0)
            return -1;
        if (offset < static_cast<int64_t>(m_head_length))
            return m_head[static_cast<size_t>(offset)];
        if (offset < m_window_start || offset >= m_window_start + m_window_length) {
            m_window_start = offset;
            m_window_length =
                static_cast<int64_t>(read_at(offset, m_window.data(), m_window.size()));
            if (m_window_length <= 0)
                return -1;
        }
        return m_window[static_cast<size_t>(offset - m_window_start)];
    }

    // Big-endian and little-endian 16-bit values; -1 when a byte is missing.
    int be16(int64_t offset) {
        const int high = at(offset), low = at(offset + 1);
        return high < 0 || low < 0 ? -1 : high * 256 + low;
    }
    int le16(int64_t offset) {
        const int low = at(offset), high = at(offset + 1);
        return high < 0 || low < 0 ? -1 : high * 256 + low;
    }
    // A signed little-endian 32-bit value; std::nullopt when a byte is missing.
    std::optional<int32_t> le32_signed(int64_t offset) {
        const int low = le16(offset), high = le16(offset + 2);
        if (low < 0 || high < 0)
            return std::nullopt;
        return static_cast<int32_t>(static_cast<uint32_t>(high) << 16 | static_cast<uint32_t>(low));
    }

private:
    size_t read_at(int64_t offset, uint8_t* data, size_t count) const {
        const ssize_t got = pread_full(m_fd, data, count, offset);
        return got < 0 ? 0 : static_cast<size_t>(got);
    }

    int m_fd;
    std::array<uint8_t, kFirstRead> m_head{};
    size_t m_head_length = 0;
    std::array<uint8_t, 64> m_window{};
    int64_t m_window_start = 0;
    int64_t m_window_length = 0;
};

// Sets field to value when the value could be read.
void set_if_read(int32_t& field, int value) {
    if (value >= 0)
        field = value;
}
void set_if_read(int16_t& field, int value) {
    if (value >= 0)
        field = static_cast<int16_t>(value);
}

void read_png(HeaderBytes& bytes, ImageInfo& info) {
    info.FileType = kTypePng;
    const int depth = bytes.at(24);
    const int colour_type = bytes.at(25);
    if (depth < 0 || colour_type < 0)
        return;
    switch (colour_type) {
    case 0:
        info.BitsPerPixel = static_cast<int16_t>(depth);
        break;
    case 2:
        info.BitsPerPixel = static_cast<int16_t>(depth * 3);
        break;
    case 3:
        info.BitsPerPixel = 8;
        break;
    case 4:
        info.BitsPerPixel = static_cast<int16_t>(depth * 2);
        break;
    case 6:
        info.BitsPerPixel = static_cast<int16_t>(depth * 4);
        break;
    default:
        info.FileType = kTypeUnknown;
        return;
    }
    set_if_read(info.Width, bytes.be16(18));
    set_if_read(info.Height, bytes.be16(22));
}

void read_gif(HeaderBytes& bytes, ImageInfo& info) {
    info.FileType = kTypeGif;
    set_if_read(info.Width, bytes.le16(6));
    set_if_read(info.Height, bytes.le16(8));
    const int flags = bytes.at(10);
    if (flags >= 0)
        info.BitsPerPixel = static_cast<int16_t>((flags & 7) + 1);
}

void read_bitmap(HeaderBytes& bytes, ImageInfo& info) {
    info.FileType = kTypeBitmap;
    const std::optional<int32_t> header_size = bytes.le32_signed(14);
    if (!header_size)
        return;
    if (*header_size == 12) {
        // The OS/2 header: unsigned 16-bit sizes, rows always stored bottom first.
        set_if_read(info.Width, bytes.le16(18));
        set_if_read(info.Height, bytes.le16(20));
        set_if_read(info.BitsPerPixel, bytes.le16(24));
        return;
    }
    // Signed 32-bit sizes; a negative height only says that the rows are stored top first.
    const std::optional<int32_t> width = bytes.le32_signed(18);
    const std::optional<int32_t> height = bytes.le32_signed(22);
    if (width && *width > 0)
        info.Width = *width;
    if (height && *height != std::numeric_limits<int32_t>::min())
        info.Height = *height < 0 ? -*height : *height;
    const int bits = bytes.at(28);
    if (bits >= 0)
        info.BitsPerPixel = static_cast<int16_t>(bits);
}

// Start-of-frame markers of every coding (C4, C8 and CC are other markers).
bool is_frame_marker(int marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers that stand alone, without a length: TEM, the restart markers and SOI.
bool is_standalone_marker(int marker) {
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
}

void read_jpeg(HeaderBytes& bytes, ImageInfo& info) {
    int64_t pos = 2;
    for (;;) {
        if (bytes.at(pos) != 0xFF)
            return; // not on a marker: the file is damaged
        int64_t marker_pos = pos + 1;
        while (bytes.at(marker_pos) == 0xFF) // fill bytes
            ++marker_pos;
        const int marker = bytes.at(marker_pos);
        if (marker < 0 || marker == 0xD9 || marker == 0xDA)
            return; // the end, or the scan data, before any frame
        if (is_standalone_marker(marker)) {
            pos = marker_pos + 1;
            continue;
        }
        const int length = bytes.be16(marker_pos + 1);
        if (length < 2)
            return;
        if (is_frame_marker(marker)) {
            const int height = bytes.be16(marker_pos + 4);
            const int width = bytes.be16(marker_pos + 6);
            const int components = bytes.at(marker_pos + 8);
            if (height < 0 || width < 0 || components < 0)
                return;
            info.Height = height;
            info.Width = width;
            info.BitsPerPixel = static_cast<int16_t>(components * 8);
            info.FileType = kTypeJpeg;
            return;
        }
        pos = marker_pos + 1 + length;
    }
}

} // namespace

ImageInfo read_header_of_open_file(int fd, int64_t file_size) {
    ImageInfo info;
    info.FileSize =
        static_cast<int32_t>(std::min<int64_t>(file_size, std::numeric_limits<int32_t>::max()));
    HeaderBytes bytes(fd);
    const int b0 = bytes.at(0), b1 = bytes.at(1), b2 = bytes.at(2);
    if (b0 == 0x89 && b1 == 'P' && b2 == 'N')
        read_png(bytes, info);
    else if (b0 == 'G' && b1 == 'I' && b2 == 'F')
        read_gif(bytes, info);
    else if (b0 == 'B' && b1 == 'M')
        read_bitmap(bytes, info);
    else if (b0 == 0xFF && b1 == 0xD8 && b2 == 0xFF)
        read_jpeg(bytes, info);
    return info;
}

std::optional<ImageInfo> read_header_if_file(const std::string& path) {
    off_t size = 0;
    const UniqueFd fd = open_regular_file(path, size);
    if (!fd.valid())
        return std::nullopt;
    return read_header_of_open_file(fd.get(), size);
}

ImageInfo ReadImageHeader(const std::string& path) {
    return read_header_if_file(path).value_or(ImageInfo{});
}

} // namespace orvix
