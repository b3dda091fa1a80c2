// The codecs behind the picture layer: TurboJPEG for JPEG, libtiff for plain RGB TIFF,
// libpng for writing PNG, Magick++ for the rest and for pictures kept whole (FullPicture,
// defined with the Magick++ coder), and the resampler. Internal to the imaging module.
#pragma once

#include "imaging/imaging.h"
#include "imaging/picture_layer.h"

namespace orvix::picture {
void set_last_error(int32_t code);
} // namespace orvix::picture

namespace orvix::picture::detail {

// Numbers in file headers.
inline uint16_t le16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
inline uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

std::optional<PictureSize> jpeg_size(PictureSource& source);
RgbImage read_jpeg(PictureSource& source, PictureSize min_size);
// With metadata, those segments of another JPEG go after the header (write_jpeg_keeping).
bool write_jpeg(PictureTarget& target, const RgbImage& image, int quality,
                std::span<const uint8_t> metadata = {}, const ExifChange& change = {});
bool transform_jpeg(PictureSource& source, PictureTarget& target, int code,
                    JpegEdges edges = JpegEdges::Trim);
// The rows or columns a lossless transform of the JPEG cuts off (0: none); std::nullopt
// (last_error set) when it cannot be transformed without decoding or cannot be read.
std::optional<int> transform_edge_loss(PictureSource& source, int code);

// Decodes interleaved 8-bit RGB strip TIFFs with libtiff alone, several times faster than
// Magick++. std::nullopt when the file is of another kind (Magick++ reads it then); an
// empty image (last_error set) when it is of that kind but damaged or too large.
std::optional<RgbImage> read_tiff_directly(std::span<const uint8_t> bytes);

// Whether the first directory of a TIFF gives extra samples (an alpha channel), which
// ImageMagick's header read does not report.
bool tiff_has_extra_samples(std::span<const uint8_t> bytes);

// The Magick++ coder that reads a format code, nullptr when Magick++ does not read it.
const char* magick_coder(int code);
std::optional<PictureSize> magick_size(PictureSource& source, const char* coder);
RgbImage read_magick(PictureSource& source, const char* coder);
bool write_magick(PictureTarget& target, const RgbImage& image, TargetFormat format);

// PNG through libpng, from the RGB rows as they are.
bool write_png(PictureTarget& target, const RgbImage& image);

// Resamples source into every pixel of target; false when the resampler has no memory.
bool resample(const RgbImage& source, RgbImage& target);

} // namespace orvix::picture::detail
