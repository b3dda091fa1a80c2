// A JPEG's EXIF orientation: how its stored pixels must be turned to stand as the camera
// was held. Internal to the imaging module.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace orvix::picture::detail {

// The orientation (1-8) in the first EXIF block of a JPEG's bytes; 1 when the bytes are no
// JPEG, hold no EXIF block or no orientation, or one outside 1-8.
int jpeg_orientation(std::span<const uint8_t> jpeg);

// The transform codes (as convert_image's, applied in order) that stand a picture of that
// orientation upright; none for 1 and unknown values.
std::vector<int16_t> upright_transforms(int orientation);

} // namespace orvix::picture::detail
