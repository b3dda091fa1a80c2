#include "imaging/orientation.h"

#include "imaging/imaging.h"
#include "imaging/jpeg_metadata.h"

#include <array>

#include <cstring>

namespace orvix::picture::detail {

namespace {

constexpr uint16_t kTagOrientation = 0x0112;
// Marker, length and "Exif\0\0" come before the TIFF header.
constexpr size_t kTiffStart = 10;

// The orientation entry of IFD0 in a TIFF block, read with every access checked against
// its end; 1 when the block has none or one that names no orientation.
int orientation_in_tiff(std::span<const uint8_t> tiff) {
    if (tiff.size() < 8)
        return 1;
    bool little = false;
    if (tiff[0] == 'I' && tiff[1] == 'I')
        little = true;
    else if (tiff[0] != 'M' || tiff[1] != 'M')
        return 1;
    const auto u16 = [&](size_t at) -> uint32_t {
        return little ? tiff[at] | (tiff[at + 1] << 8) : (tiff[at] << 8) | tiff[at + 1];
    };
    const auto u32 = [&](size_t at) -> uint32_t {
        return little ? u16(at) | (u16(at + 2) << 16) : (u16(at) << 16) | u16(at + 2);
    };
    if (u16(2) != 42)
        return 1;
    const uint64_t ifd = u32(4);
    if (ifd < 8 || ifd + 2 > tiff.size())
        return 1;
    const uint64_t count = u16(ifd);
    const uint64_t first = ifd + 2;
    if (first + count * 12 > tiff.size())
        return 1;
    for (uint64_t i = 0; i < count; ++i) {
        const size_t entry = size_t(first + i * 12);
        if (u16(entry) != kTagOrientation || u32(entry + 4) != 1)
            continue;
        // Cameras store it in any integer type, the value at the start of the field.
        uint32_t value = 0;
        switch (u16(entry + 2)) {
        case 1: // BYTE
        case 6: // SBYTE
            value = tiff[entry + 8];
            break;
        case 3: // SHORT
        case 8: // SSHORT
            value = u16(entry + 8);
            break;
        case 4: // LONG
        case 9: // SLONG
            value = u32(entry + 8);
            break;
        default:
            return 1;
        }
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

} // namespace

int jpeg_orientation(std::span<const uint8_t> jpeg) {
    if (jpeg.size() < 2 || jpeg[0] != 0xFF || jpeg[1] != 0xD8)
        return 1;
    size_t at = 2;
    while (const std::optional<Segment> segment = next_segment(jpeg, at)) {
        if (is_exif(jpeg, *segment) && segment->end - segment->begin > kTiffStart)
            return orientation_in_tiff(jpeg.subspan(segment->begin + kTiffStart,
                                                    segment->end - segment->begin - kTiffStart));
    }
    return 1;
}

std::vector<int16_t> upright_transforms(int orientation) {
    switch (orientation) {
    case 2:
        return {1};
    case 3:
        return {6};
    case 4:
        return {2};
    case 5:
        return {kTransformTranspose};
    case 6:
        return {5};
    case 7:
        return {kTransformTransverse};
    case 8:
        return {7};
    default:
        return {};
    }
}

} // namespace orvix::picture::detail

namespace orvix {

namespace {

// A transform as the matrix it applies to a pixel's place about the picture's centre
// (x right, y down).
using Matrix = std::array<int, 4>;

constexpr std::array<int16_t, 8> kTransforms = {
    0, 1, 2, 5, 6, 7, kTransformTranspose, kTransformTransverse};

Matrix matrix_of(int16_t transform) {
    switch (transform) {
    case 1:
        return {-1, 0, 0, 1};
    case 2:
        return {1, 0, 0, -1};
    case 5:
        return {0, -1, 1, 0};
    case 6:
        return {-1, 0, 0, -1};
    case 7:
        return {0, 1, -1, 0};
    case kTransformTranspose:
        return {0, 1, 1, 0};
    case kTransformTransverse:
        return {0, -1, -1, 0};
    default:
        return {1, 0, 0, 1};
    }
}

// a after b.
Matrix product(const Matrix& a, const Matrix& b) {
    return {a[0] * b[0] + a[1] * b[2], a[0] * b[1] + a[1] * b[3], a[2] * b[0] + a[3] * b[2],
            a[2] * b[1] + a[3] * b[3]};
}

} // namespace

int16_t upright_transform(int orientation, int16_t command) {
    Matrix turn = matrix_of(command);
    for (const int16_t own : picture::detail::upright_transforms(orientation))
        turn = product(turn, matrix_of(own));
    for (const int16_t transform : kTransforms)
        if (matrix_of(transform) == turn)
            return transform;
    return 0;
}

} // namespace orvix
