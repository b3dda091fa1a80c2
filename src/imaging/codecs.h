// The codecs behind the picture layer: TurboJPEG for JPEG, libtiff for plain RGB TIFF,
// libpng for PNG that is not interlaced and for writing PNG, Magick++ for the rest and for
// pictures kept whole (FullPicture, defined with the Magick++ coder), the box reduction and
// the resampler. Internal to the imaging module.
#pragma once

#include "imaging/imaging.h"
#include "imaging/picture_layer.h"

#include <vector>

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
// Magick++, a strip at a time from the file, reduced as read_picture does for min_size.
// std::nullopt when the file is of another kind (Magick++ reads it then); an empty image
// (last_error set) when it is of that kind but damaged or too large.
std::optional<RgbImage> read_tiff_directly(PictureSource& source, PictureSize min_size);
// The size of a TIFF read_tiff_directly decodes, from its first directory alone;
// std::nullopt when it is of another kind or too large.
std::optional<PictureSize> tiff_size_directly(PictureSource& source);

// Decodes PNGs that are not interlaced with libpng alone, a row at a time from the file,
// the colours as stored (alpha left out, 16-bit samples rounded to 8, grey and palettes
// expanded), reduced as read_picture does for min_size. std::nullopt when the file is of
// another kind; an empty image (last_error set) when it is damaged or too large.
std::optional<RgbImage> read_png_directly(PictureSource& source, PictureSize min_size);
std::optional<PictureSize> png_size_directly(PictureSource& source);

// Whether the first directory of a TIFF gives extra samples (an alpha channel), which
// ImageMagick's header read does not report.
bool tiff_has_extra_samples(std::span<const uint8_t> bytes);

// The Magick++ coder that reads a format code, nullptr when Magick++ does not read it.
const char* magick_coder(int code);
std::optional<PictureSize> magick_size(PictureSource& source, const char* coder);
// magick_size, but a metafile's size as it declares it, however large.
std::optional<PictureSize> magick_declared_size(PictureSource& source, const char* coder);
// With a min_size, a metafile is drawn at the smallest size that holds it (never larger
// than it declares) and other pictures are box-reduced after their decode.
RgbImage read_magick(PictureSource& source, const char* coder, PictureSize min_size = {});
bool write_magick(PictureTarget& target, const RgbImage& image, TargetFormat format);

// PNG through libpng, from the RGB rows as they are.
bool write_png(PictureTarget& target, const RgbImage& image);

// Resamples source into every pixel of target; false when the resampler has no memory.
bool resample(const RgbImage& source, RgbImage& target);

// A width x height picture brought down, while its rows arrive top first, by the largest
// whole factor along each side that leaves it at least twice min_size (a side of 0 in
// min_size: that side is not reduced): as many boxes as the factor fits whole, the pixels
// left over spread one to a box, each output pixel the mean of its box. Without a
// reduction the decoder writes its rows into output() itself, and add_row is not called.
class BoxReduction {
public:
    BoxReduction(int width, int height, PictureSize min_size);

    // No memory for the output (last_error set).
    bool failed() const { return m_image.empty(); }
    bool reduces() const { return m_image.width() < m_width || m_image.height() < m_height; }
    // One row of width RGB pixels, the next from the top.
    void add_row(const uint8_t* rgb);
    RgbImage& output() { return m_image; }
    RgbImage take() { return std::move(m_image); }

private:
    void emit_row();

    int m_width;
    int m_height;
    std::vector<int> m_columns; // where each box starts across, and the width
    std::vector<int> m_rows;    // where each box starts down, and the height
    int m_row = 0;              // rows added
    int m_box_row = 0;          // output rows made
    std::vector<uint32_t> m_sums;
    RgbImage m_image;
};

// The picture reduced as a BoxReduction of it would; the picture itself when no factor
// above 1 fits, empty when memory runs out.
RgbImage box_reduce(RgbImage image, PictureSize min_size);

} // namespace orvix::picture::detail
