#include "imaging/orientation.h"

#include "imaging/exif_dates.h"
#include "imaging/imaging.h"
#include "imaging/jpeg_metadata.h"

#include <exiv2/exiv2.hpp>

#include <array>
#include <cstring>
#include <exception>

namespace orvix::picture::detail {

namespace {

// Marker, length and "Exif\0\0" come before the TIFF header.
constexpr size_t kTiffStart = 10;

// The orientation entry of IFD0 in a TIFF block, in whichever integer type the camera
// stored it; 1 when the block has none, one of another type, or one that names no
// orientation. exiv2 throws on a block it cannot make sense of: that is no orientation.
int orientation_in_tiff(std::span<const uint8_t> tiff) {
    prepare_exiv2();
    try {
        Exiv2::ExifData exif;
        Exiv2::ExifParser::decode(exif, tiff.data(), static_cast<uint32_t>(tiff.size()));
        const auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (found == exif.end() || found->count() != 1)
            return 1;
        switch (found->typeId()) {
        case Exiv2::unsignedByte:
        case Exiv2::signedByte:
        case Exiv2::unsignedShort:
        case Exiv2::signedShort:
        case Exiv2::unsignedLong:
        case Exiv2::signedLong:
            break;
        default:
            return 1;
        }
        const long value = found->toLong();
        return value >= 1 && value <= 8 ? int(value) : 1;
    } catch (const std::exception&) {
        return 1;
    }
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
