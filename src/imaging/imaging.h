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

// Reads source (format from its extension, else from its content), applies transform
// (0 none, 1 flip horizontally, 2 flip vertically, 5/6/7 rotate 90/180/270 clockwise),
// crops ("left,top,right,bottom" after the transform, clamped), resizes ("W", "W,H",
// with "*" to orient the box like the picture and ">" to shrink only; the picture is
// fitted on a black canvas) and writes target in the format of its extension (the
// source's when it has none). Source and target may be the same file; the target is
// replaced only by a complete file. Returns 0, a picture-layer error code,
// kSourceUnreadable, kTargetUnsupported or kRuntimeFailure.
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

// "width,height" of the picture as a decode would give it, or "ERROR".
std::string get_image_size(const std::string& path);

// Four comma-separated fields, each its leading number rounded to 16 bits (halves to
// even); missing fields are 0. std::nullopt when a field lies outside the 16-bit range.
std::optional<Rect> text_to_rect(const std::string& text);

} // namespace orvix
