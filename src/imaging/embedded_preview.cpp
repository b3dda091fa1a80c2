#include "imaging/embedded_preview.h"

#include "imaging/exif_dates.h"
#include "imaging/jpeg_metadata.h"

#include <exiv2/exiv2.hpp>
#include <turbojpeg.h>

#include <cmath>
#include <exception>
#include <memory>

namespace orvix::picture::detail {

namespace {

constexpr uint8_t kStartOfScanMarker = 0xDA;
constexpr uint8_t kEndOfImageMarker = 0xD9;

struct TjDestroyer {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDestroyer>;

} // namespace

std::span<const uint8_t> jpeg_header(PictureSource& source) {
    const std::span<const uint8_t> start = source.prefix(2);
    if (start.size() < 2 || start[0] != 0xFF || start[1] != 0xD8)
        return {};
    size_t at = 2;
    for (;;) {
        const std::span<const uint8_t> bytes = source.prefix(at + 4);
        if (bytes.size() < at + 4)
            return bytes;
        // Stray bytes between segments and fill bytes are passed over, as libjpeg does.
        if (bytes[at] != 0xFF || bytes[at + 1] == 0xFF) {
            ++at;
            continue;
        }
        const uint8_t marker = bytes[at + 1];
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        const size_t length = size_t(bytes[at + 2] << 8) | bytes[at + 3];
        // exiv2 reads on to the scan's marker.
        if (marker == kStartOfScanMarker || marker == kEndOfImageMarker || length < 2)
            return bytes.first(at + 4);
        at += 2 + length;
    }
}

namespace {

bool same_proportions(PictureSize preview, PictureSize full) {
    const double stored = double(full.width) / full.height;
    const double shown = double(preview.width) / preview.height;
    return std::abs(shown - stored) <= 0.01 * stored;
}

// The smallest scaled size of a width x height JPEG that is still at least want.
PictureSize decode_size(int width, int height, PictureSize want) {
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    PictureSize best{width, height};
    for (int i = 0; factors && i < count; ++i) {
        const int w = TJSCALED(width, factors[i]), h = TJSCALED(height, factors[i]);
        if (w >= want.width && h >= want.height &&
            w * int64_t(h) < best.width * int64_t(best.height))
            best = {w, h};
    }
    return best;
}

// The preview decoded, or empty when it is too small or too large, of other proportions or
// damaged.
RgbImage decoded_preview(const Exiv2::PreviewImage& preview, PictureSize full,
                         PictureSize min_size) {
    TjHandle handle(tjInitDecompress());
    if (!handle)
        return {};
    const auto* bytes = preview.pData();
    const auto size = static_cast<unsigned long>(preview.size());
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(handle.get(), bytes, size, &width, &height, &subsampling,
                            &colorspace) != 0 ||
        width <= 0 || height <= 0 || colorspace == TJCS_CMYK || colorspace == TJCS_YCCK)
        return {};
    // One larger than the picture is no preview of it, and would cost more than the picture.
    if (width < min_size.width || height < min_size.height || width > full.width ||
        height > full.height || !same_proportions({width, height}, full))
        return {};
    const PictureSize scaled =
        decode_size(width, height, {2 * min_size.width, 2 * min_size.height});
    RgbImage image = RgbImage::allocate(scaled.width, scaled.height);
    if (image.empty())
        return {};
    // A warning means made-up pixels: such a preview is not used.
    if (tjDecompress2(handle.get(), bytes, size, image.data(), scaled.width, int(image.stride()),
                      scaled.height, TJPF_RGB, TJFLAG_STOPONWARNING) != 0)
        return {};
    return image;
}

} // namespace

RgbImage embedded_preview(PictureSource& source, PictureSize full, PictureSize min_size) {
    if (full.width <= 0 || full.height <= 0)
        return {};
    const std::span<const uint8_t> header = jpeg_header(source);
    if (header.size() < 4)
        return {};
    prepare_exiv2();
    // exiv2 throws on blocks it cannot make sense of: those carry no usable preview.
    try {
        const Exiv2::Image::AutoPtr image =
            Exiv2::ImageFactory::open(header.data(), static_cast<long>(header.size()));
        if (image.get() == nullptr)
            return {};
        image->readMetadata();
        const Exiv2::PreviewManager previews(*image);
        // Listed from the smallest up.
        for (const Exiv2::PreviewProperties& properties : previews.getPreviewProperties()) {
            if (properties.mimeType_ != "image/jpeg")
                continue;
            RgbImage decoded =
                decoded_preview(previews.getPreviewImage(properties), full, min_size);
            if (!decoded.empty())
                return decoded;
        }
    } catch (const std::exception&) {
        return {};
    }
    return {};
}

} // namespace orvix::picture::detail
