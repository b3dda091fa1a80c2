// The small pictures a camera stores inside its files (the EXIF thumbnail, a larger
// preview): a thumbnail drawn from one costs a fraction of decoding the picture.
#pragma once

#include "imaging/picture_layer.h"

namespace orvix::picture::detail {

// The bytes of a JPEG up to its first scan: every metadata segment, none of the picture's
// data, so that reading its tags costs no more than its header. Empty for another file.
std::span<const uint8_t> jpeg_header(PictureSource& source);

// The smallest JPEG preview in the header of the JPEG source that is at least min_size and
// no larger than full, shows the proportions of full (both as stored, before any turn)
// within 1 % and decodes without a warning; decoded at the smallest DCT scale still twice
// min_size where it is larger. Empty when there is none. Only the header is read.
RgbImage embedded_preview(PictureSource& source, PictureSize full, PictureSize min_size);

} // namespace orvix::picture::detail
