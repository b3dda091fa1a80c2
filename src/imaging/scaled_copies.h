// Several small copies of one picture from a single decode: the grid's thumbnail and the
// desktop's cached ones are drawn together, so a picture is read and decoded once for all.
#pragma once

#include "imaging/imaging.h"
#include "imaging/picture_layer.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvix {

// The size of one copy: fitted into a box as convert_image's resize does (a black canvas
// where the proportions differ), or, with longest above 0, the longest side brought down to
// at most that many pixels, the proportions kept and the picture never enlarged.
struct CopySize {
    Resize box;
    int longest = 0;
};

struct ScaledCopies {
    // 0, or a result code as convert_image gives it; no copies then.
    int32_t result = 0;
    // One a size asked for, in order.
    std::vector<picture::RgbImage> copies;
    // The picture's full size as shown (upright when asked).
    picture::PictureSize shown;
};

// Whether a copy may come from a preview the file carries. Only a file just taken from the
// camera is sure to carry previews that show its pixels: an edit may leave one behind.
enum class Previews { Ignored, FirstWhereFit };

// Reads the picture at path (format from its extension, else from its content), stands it
// upright when asked (a JPEG's EXIF orientation applied) and makes a copy of each size. A
// JPEG is decoded at the smallest DCT scale that leaves every box copy twice its size, as
// convert_image does for one, and every longest-side copy at least its size. With
// FirstWhereFit, a copy whose size a JPEG's embedded preview holds (of the picture's
// proportions, undamaged) is drawn from that preview, turned as the picture is.
ScaledCopies scaled_copies(const std::string& path, bool upright, std::span<const CopySize> sizes,
                           Previews previews = Previews::Ignored);

} // namespace orvix
