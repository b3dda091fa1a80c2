// The program's only road to pixels: convert, transform, crop and resize whole files.
#pragma once

#include "geometry/geometry.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orvix {

// Result codes of convert_image3 besides 0 and the picture layer's own codes.
inline constexpr int32_t kSourceUnreadable = -222;
inline constexpr int32_t kTargetUnsupported = -223;
inline constexpr int32_t kRuntimeFailure = -224;

// The box a picture is resized into: a side of 0 follows the picture's proportions, both 0
// leave the size alone. The picture is fitted into the box on a black canvas of its size.
struct Resize {
    int32_t width = 0;
    int32_t height = 0;
    bool orient = false;      // turn the box like the picture (portrait or landscape)
    bool shrink_only = false; // leave pictures that already fit
    bool operator==(const Resize&) const = default;
};

// A resize text: "W" or "W,H", each field's leading number, with "*" anywhere for orient
// and ">" anywhere for shrink_only. "" asks for no resize.
Resize resize_of_text(const std::string& text);

// Transform codes: 0 none, 1 flip horizontally, 2 flip vertically, 5/6/7 rotate
// 90/180/270 clockwise; other codes change nothing.
// Codes besides those, for both: the two mirrors about a diagonal (top-left to bottom-right,
// and the other), which pictures stored with the EXIF orientation 5 or 7 need; and for the
// lossless transform, the pixels as they stand (convert_image leaves them too), the EXIF
// block brought in line as after any transform.
inline constexpr int16_t kTransformTranspose = 9;
inline constexpr int16_t kTransformTransverse = 10;
inline constexpr int16_t kTransformNone = 11;

struct ConvertRequest {
    std::optional<Rect> crop; // in pixels after the transform, clamped to the picture
    Resize resize;
    int16_t quality = 100; // JPEG quality
    int16_t transform = 0;
    // A JPEG's EXIF orientation applied to the pixels before the transform, so that the
    // picture stands as the camera was held (the crop is then in its upright pixels).
    bool upright = false;
};

// Reads source (format from its extension, else from its content), applies the request's
// transform, crop and resize in that order and writes target in the format of its
// extension (the source's when it has none). Source and target may be the same file; the
// target is replaced only by a complete file. Returns 0, a picture-layer error code,
// kSourceUnreadable, kTargetUnsupported or kRuntimeFailure.
int32_t convert_image(const std::string& source_path, const std::string& target_path,
                      const ConvertRequest& request);

// The request convert_image3's texts ask for: crop_text "" or "left,top,right,bottom"
// (read as text_to_rect does), resize_text as resize_of_text. std::nullopt when the crop
// text holds a number outside 16 bits.
std::optional<ConvertRequest> convert_request_of(const std::string& crop_text,
                                                 const std::string& resize_text, int16_t quality,
                                                 int16_t transform);

// convert_image with the request in text form; kRuntimeFailure for a crop text
// convert_request_of refuses. stretch, sharpen, reduce_8bit and the passwords have no
// effect.
int32_t convert_image3(const std::string& source_path, const std::string& target_path,
                       const std::string& crop_text, const std::string& resize_text, bool stretch,
                       int16_t quality, int16_t sharpen, bool reduce_8bit,
                       const std::string& source_password, const std::string& target_password,
                       int16_t transform);

// What a lossless JPEG rotate/flip does with the partial MCUs (blocks of 8 or 16 pixels)
// on the edges it moves: Trim cuts them off, as jpegtran -trim; Exact refuses a picture
// that has any (picture::kTransformFailed), so that nothing is lost without a word.
enum class JpegEdges { Trim, Exact };

// Lossless JPEG rotate/flip (codes as transform above) of source into the new file target.
// Returns 0 on success, else a picture-layer error code.
int32_t jpeg_lossless_transform(const std::string& source, const std::string& target, int16_t code,
                                JpegEdges edges = JpegEdges::Trim);

// How many pixel rows or columns a lossless rotate/flip (code as above) of the JPEG would
// cut off at its edges: 0 when its size allows the operation exactly. std::nullopt when
// it cannot be turned without decoding at all (a layout TurboJPEG does not transform, a
// moved edge shorter than one MCU) or cannot be read.
std::optional<int> jpeg_transform_loss(const std::string& path, int16_t code);

// The EXIF orientation of a JPEG, 1-8 (how its stored pixels must be turned to stand as
// the camera was held); 1 for other files, pictures without one and unreadable files.
int exif_orientation(const std::string& path);

// The one transform code that turns the stored pixels of a picture of that EXIF orientation
// so that they stand as the transform code `command` turns its upright view: the command
// composed with the picture's own turn. 0 when the stored pixels already stand so.
int16_t upright_transform(int orientation, int16_t command);

// The picture's size as a decode would give it; std::nullopt when it cannot be read.
std::optional<Size> image_size(const std::string& path);

// The picture's size as it is shown, upright (a JPEG stored sideways, EXIF orientation 5 to
// 8, is as tall as it is wide when stored), from one read of its header; std::nullopt when it
// cannot be read.
std::optional<Size> shown_size(const std::string& path);

// The size as the grid's captions and callers of get_image_size read it: "width,height",
// or "ERROR" for no size.
std::string size_text(const std::optional<Size>& size);

// size_text(image_size(path)).
std::string get_image_size(const std::string& path);

// Four comma-separated fields, each its leading number rounded to 16 bits (halves to
// even); missing fields are 0. std::nullopt when a field lies outside the 16-bit range.
std::optional<Rect> text_to_rect(const std::string& text);

} // namespace orvix
