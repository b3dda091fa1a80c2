#include "imaging/imaging.h"

#include "fs/fs.h"
#include "imaging/codecs.h"
#include "imaging/embedded_preview.h"
#include "imaging/orientation.h"
#include "imaging/picture_layer.h"
#include "imaging/scaled_copies.h"
#include "text/text.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace orvix {

namespace pl = picture;

namespace {

// What the resize step makes: a canvas and the place of the picture on it.
struct ResizePlan {
    bool active = false;
    int width = 0;
    int height = 0;
    Rect fit;
    int fit_width() const { return fit.right - fit.left; }
    int fit_height() const { return fit.bottom - fit.top; }
};

bool in_16_bits(double value) {
    return value >= INT16_MIN && value <= INT16_MAX;
}

// The resize step's arithmetic for a width x height picture. Returns 0, a picture-layer
// code (a box without area) or kRuntimeFailure (sizes beyond what the arithmetic holds).
int32_t plan_resize(const Resize& request, int width, int height, ResizePlan& plan) {
    int64_t w = request.width, h = request.height;
    bool orient = request.orient;
    if (request.shrink_only && height <= w && width <= w) {
        w = h = 0;
        orient = false;
    }
    if (orient) {
        if (width > height && h > w)
            std::swap(w, h);
        if (height > width && w > h)
            std::swap(w, h);
    }
    plan = ResizePlan{};
    if (w == 0 && h == 0)
        return 0;
    // A side that follows the proportions keeps at least one pixel: the 100-pixel
    // thumbnail of an 8000 x 1 picture is 100 x 1, not nothing.
    if (h == 0)
        h = std::max<int64_t>(1, to_int(double(w) * height / width));
    else if (w == 0)
        w = std::max<int64_t>(1, to_int(double(h) * width / height));
    if (w <= 0 || h <= 0)
        return pl::kEmptyPicture;
    if (w * h > pl::kMaxPictureBytes / 3)
        return kRuntimeFailure;
    std::optional<Rect> fit = fit_rect({0, 0, width, height}, {0, 0, int(w), int(h)});
    if (!fit)
        return kRuntimeFailure;
    // So does the picture fitted into the box, inside it.
    if (fit->right - fit->left < 1) {
        fit->left = std::min(fit->left, int(w) - 1);
        fit->right = fit->left + 1;
    }
    if (fit->bottom - fit->top < 1) {
        fit->top = std::min(fit->top, int(h) - 1);
        fit->bottom = fit->top + 1;
    }
    plan = ResizePlan{true, int(w), int(h), *fit};
    return 0;
}

// Format code by source extension; -1 for an extension the table does not hold.
int format_code_of_extension(const std::string& extension) {
    if (extension == "jpg" || extension == "jpeg")
        return pl::kFormatJpeg;
    if (extension == "bmp")
        return pl::kFormatBmp;
    if (extension == "pcx")
        return pl::kFormatPcx;
    if (extension == "tga")
        return pl::kFormatTga;
    if (extension == "tif" || extension == "tiff")
        return pl::kFormatTiff;
    if (extension == "png")
        return pl::kFormatPng;
    if (extension == "pax")
        return pl::kFormatPax;
    if (extension == "psd")
        return pl::kFormatPsd;
    return -1;
}

// The extension's code, else the content's guess (the source is rewound after it).
int format_code(pl::PictureSource& source, const std::string& extension) {
    int code = format_code_of_extension(extension);
    if (code < 0) {
        code = pl::guess_file_type(source);
        source.seek(0);
    }
    return code;
}

bool swaps_sides(int16_t transform) {
    return transform == 5 || transform == 7 || transform == kTransformTranspose ||
           transform == kTransformTransverse;
}

bool turns_or_flips(int16_t transform) {
    return transform == 1 || transform == 2 || swaps_sides(transform) || transform == 6 ||
           transform == kTransformNone;
}

// A picture that is only going to shrink is decoded smaller (a JPEG at a reduced DCT scale,
// a metafile drawn smaller, other pictures box-reduced as they are decoded), still at least
// twice the fitted size so that the resampler has detail to work with. Cropping needs
// the full picture.
struct DecodeHint {
    pl::PictureSize full;
    pl::PictureSize min_size;
};

// Whether the transforms, applied in order, leave the sides swapped.
bool swaps_sides(const std::vector<int16_t>& transforms) {
    return std::ranges::count_if(transforms, [](int16_t t) { return swaps_sides(t); }) % 2 == 1;
}

std::optional<DecodeHint> decode_hint(pl::PictureSource& source, int code, bool cropping,
                                      const Resize& request, bool swapped) {
    if (cropping || (request.width == 0 && request.height == 0))
        return std::nullopt;
    const std::optional<pl::PictureSize> size = pl::read_declared_size(source, code);
    if (!size)
        return std::nullopt;
    int width = size->width, height = size->height;
    if (swapped)
        std::swap(width, height);
    ResizePlan plan;
    if (plan_resize(request, width, height, plan) != 0 || !plan.active)
        return std::nullopt;
    pl::PictureSize min_size{2 * plan.fit_width(), 2 * plan.fit_height()};
    if (swapped)
        std::swap(min_size.width, min_size.height);
    return DecodeHint{*size, min_size};
}

bool apply_transform(pl::RgbImage& image, int16_t transform) {
    switch (transform) {
    case 1:
        return pl::flip_horizontal(image);
    case 2:
        return pl::flip_vertical(image);
    case 5:
        return pl::quick_rotate(image, 0);
    case 6:
        return pl::quick_rotate(image, 1);
    case 7:
        return pl::quick_rotate(image, 2);
    case kTransformTranspose:
        return pl::quick_rotate(image, 0) && pl::flip_horizontal(image);
    case kTransformTransverse:
        return pl::quick_rotate(image, 0) && pl::flip_vertical(image);
    default:
        return true; // 0 and unknown codes leave the picture as it is
    }
}

// The crop rectangle clamped to a width x height picture.
Rect clamped(Rect rect, int width, int height) {
    rect.right = std::min(rect.right, width);
    rect.bottom = std::min(rect.bottom, height);
    rect.left = std::max(rect.left, 0);
    rect.top = std::max(rect.top, 0);
    return rect;
}

// The crop rectangle clamped to the picture; the cut replaces the picture.
bool apply_crop(pl::RgbImage& image, Rect rect) {
    rect = clamped(rect, image.width(), image.height());
    pl::RgbImage cut =
        pl::crop(image, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    if (cut.empty())
        return false;
    image = std::move(cut);
    return true;
}

// The picture resized to its fitted size and laid on a black canvas; when it fills the
// whole box it is the canvas itself.
bool apply_resize(pl::RgbImage& image, const ResizePlan& plan) {
    pl::RgbImage fitted;
    if (image.width() == plan.fit_width() && image.height() == plan.fit_height())
        fitted = std::move(image);
    else
        fitted = pl::resize(image, plan.fit_width(), plan.fit_height());
    if (fitted.empty())
        return false;
    if (plan.fit == Rect{0, 0, plan.width, plan.height}) {
        image = std::move(fitted);
        return true;
    }
    pl::RgbImage canvas = pl::RgbImage::allocate(plan.width, plan.height);
    if (canvas.empty())
        return false;
    pl::fill_solid(canvas, 0);
    pl::overlay(canvas, fitted, plan.fit.left, plan.fit.top);
    image = std::move(canvas);
    return true;
}

// The same steps on a picture kept with its depth, alpha and compression.
bool apply_transform(pl::FullPicture& picture, int16_t transform) {
    switch (transform) {
    case 1:
        return picture.flip_horizontal();
    case 2:
        return picture.flip_vertical();
    case 5:
        return picture.quick_rotate(0);
    case 6:
        return picture.quick_rotate(1);
    case 7:
        return picture.quick_rotate(2);
    case kTransformTranspose:
        return picture.quick_rotate(0) && picture.flip_horizontal();
    case kTransformTransverse:
        return picture.quick_rotate(0) && picture.flip_vertical();
    default:
        return true;
    }
}

bool apply_crop(pl::FullPicture& picture, Rect rect) {
    rect = clamped(rect, picture.width(), picture.height());
    return picture.crop(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

bool apply_resize(pl::FullPicture& picture, const ResizePlan& plan) {
    return picture.fit_on_canvas(plan.width, plan.height, plan.fit.left, plan.fit.top,
                                 plan.fit_width(), plan.fit_height());
}

int32_t failure_code() {
    return pl::last_error() != pl::kNoError ? pl::last_error() : pl::kDecodeFailed;
}

// Transforms, crop and resize, in that order, of a picture whose full size is width x
// height (a JPEG may have been decoded smaller). Returns 0 or a result code.
template <typename Picture>
int32_t edit_picture(Picture& image, int width, int height, const std::vector<int16_t>& transforms,
                     const std::optional<Rect>& crop_rect, const Resize& request) {
    for (const int16_t transform : transforms) {
        if (!apply_transform(image, transform))
            return failure_code();
        if (swaps_sides(transform))
            std::swap(width, height);
    }

    if (crop_rect) {
        if (!apply_crop(image, *crop_rect))
            return failure_code();
        width = image.width();
        height = image.height();
    }

    ResizePlan plan;
    if (const int32_t rc = plan_resize(request, width, height, plan); rc != 0)
        return rc;
    if (plan.active && !apply_resize(image, plan))
        return failure_code();
    return 0;
}

// A PNG, TIFF, BMP or PSD picture rewritten or converted with what its file holds beyond
// 24-bit RGB (16-bit samples, alpha, compression) kept where the target format has it.
int32_t convert_full_picture(pl::PictureSource& source, int code, const std::string& target_path,
                             pl::TargetFormat format, const std::optional<Rect>& crop_rect,
                             const Resize& request, int16_t transform) {
    pl::FullPicture picture = pl::read_full_picture(source, code);
    source.close();
    if (picture.empty())
        return failure_code();
    if (const int32_t rc = edit_picture(picture, picture.width(), picture.height(), {transform},
                                        crop_rect, request);
        rc != 0)
        return rc;
    pl::PictureTarget target;
    if (!target.open(target_path) || !picture.write(target, format) || !target.commit())
        return failure_code();
    return 0;
}

int32_t convert_steps(const std::string& source_path, const std::string& target_path,
                      const ConvertRequest& convert) {
    const std::optional<Rect>& crop_rect = convert.crop;
    const Resize& request = convert.resize;
    const int16_t quality = convert.quality;
    const int16_t transform = convert.transform;

    pl::PictureSource source;
    if (!source.open(source_path))
        return kSourceUnreadable;
    const std::string source_extension = file_extension(source_path);
    std::string target_extension = file_extension(target_path);
    if (target_extension.empty())
        target_extension = source_extension;

    const int code = format_code(source, source_extension);
    if (code == pl::kFormatUnknown)
        return kSourceUnreadable;
    if (const std::optional<pl::TargetFormat> full_target = pl::target_format(target_extension);
        full_target && pl::needs_full_picture(source, code, *full_target))
        return convert_full_picture(source, code, target_path, *full_target, crop_rect, request,
                                    transform);
    // The picture's own turn first, then the one asked for.
    std::vector<int16_t> transforms;
    if (convert.upright && code == pl::kFormatJpeg) {
        transforms =
            pl::detail::upright_transforms(pl::detail::jpeg_orientation(source.contents()));
        source.seek(0);
    }
    transforms.push_back(transform);
    const std::optional<DecodeHint> hint =
        decode_hint(source, code, crop_rect.has_value(), request, swaps_sides(transforms));
    pl::RgbImage image = pl::read_picture(source, code, hint ? hint->min_size : pl::PictureSize{});
    // A JPEG edited in place keeps its metadata (dates, camera, colour profile); a new file
    // made from it (a thumbnail, a mail copy, a conversion) starts without.
    const std::optional<pl::TargetFormat> format = pl::target_format(target_extension);
    std::vector<uint8_t> metadata;
    if (!image.empty() && code == pl::kFormatJpeg && format == pl::TargetFormat::Jpeg &&
        same_file(source_path, target_path))
        metadata = pl::jpeg_metadata(source);
    source.close();
    if (image.empty())
        return pl::last_error() == pl::kUnknownFormat ? kSourceUnreadable : failure_code();
    // The geometry is that of the full picture even when it was decoded smaller.
    const int width = hint ? hint->full.width : image.width();
    const int height = hint ? hint->full.height : image.height();

    if (const int32_t rc = edit_picture(image, width, height, transforms, crop_rect, request);
        rc != 0)
        return rc;

    if (!format)
        return kTargetUnsupported;
    pl::PictureTarget target;
    if (!target.open(target_path))
        return failure_code();
    const bool written =
        metadata.empty()
            ? pl::write_picture(target, image, *format, quality)
            : pl::write_jpeg_keeping(target, image, quality, metadata,
                                     {transforms.size() > 1 || turns_or_flips(transform),
                                      image.width(), image.height()});
    if (!written || !target.commit())
        return failure_code();
    return 0;
}

// The resize that brings a width x height picture to a copy of that size.
Resize resize_for(const CopySize& size, int width, int height) {
    if (size.longest <= 0)
        return size.box;
    Resize resize;
    if (width >= height)
        resize.width = std::min(size.longest, width);
    else
        resize.height = std::min(size.longest, height);
    return resize;
}

ScaledCopies failed_copies(int32_t result) {
    ScaledCopies copies;
    copies.result = result;
    return copies;
}

// The decode scale that serves every copy: twice the fitted size of a box copy, as
// convert_image takes it, and the size itself of a longest-side copy, for which the DCT's
// own reduction (or a box average) is clean enough; so a camera's picture decodes at the
// scale its box copy alone would take. None (a full decode) when a copy keeps the
// picture's own size.
std::optional<DecodeHint> decode_hint(pl::PictureSource& source, int code,
                                      std::span<const CopySize> sizes, bool swapped) {
    const std::optional<pl::PictureSize> size = pl::read_declared_size(source, code);
    if (!size)
        return std::nullopt;
    int width = size->width, height = size->height;
    if (swapped)
        std::swap(width, height);
    pl::PictureSize min_size;
    for (const CopySize& copy : sizes) {
        ResizePlan plan;
        if (plan_resize(resize_for(copy, width, height), width, height, plan) != 0 || !plan.active)
            return std::nullopt;
        const int detail = copy.longest > 0 ? 1 : 2;
        min_size.width = std::max(min_size.width, detail * plan.fit_width());
        min_size.height = std::max(min_size.height, detail * plan.fit_height());
    }
    if (swapped)
        std::swap(min_size.width, min_size.height);
    return DecodeHint{*size, min_size};
}

pl::RgbImage clone(const pl::RgbImage& image) {
    pl::RgbImage copy = pl::RgbImage::allocate(image.width(), image.height());
    if (!copy.empty())
        pl::copy_buffer(image.data(), image.stride(), image.stride(), image.height(), copy.stride(),
                        copy.data());
    return copy;
}

// A copy of the picture resized as apply_resize does; empty on failure.
pl::RgbImage copy_at(const pl::RgbImage& image, const ResizePlan& plan) {
    const bool same_size =
        !plan.active || (image.width() == plan.fit_width() && image.height() == plan.fit_height());
    pl::RgbImage copy =
        same_size ? clone(image) : pl::resize(image, plan.fit_width(), plan.fit_height());
    if (copy.empty() || (plan.active && !apply_resize(copy, plan)))
        return {};
    return copy;
}

// The copies of sizes drawn from the picture's own pixels.
ScaledCopies decoded_copies(pl::PictureSource& source, int code,
                            const std::vector<int16_t>& transforms,
                            std::span<const CopySize> sizes) {
    const bool swapped = swaps_sides(transforms);
    const std::optional<DecodeHint> hint = decode_hint(source, code, sizes, swapped);
    pl::RgbImage image = pl::read_picture(source, code, hint ? hint->min_size : pl::PictureSize{});
    source.close();
    if (image.empty())
        return failed_copies(pl::last_error() == pl::kUnknownFormat ? kSourceUnreadable
                                                                    : failure_code());
    for (const int16_t transform : transforms) {
        if (!apply_transform(image, transform))
            return failed_copies(failure_code());
    }
    // The geometry is that of the full picture even when it was decoded smaller.
    pl::PictureSize shown{image.width(), image.height()};
    if (hint) {
        shown = hint->full;
        if (swapped)
            std::swap(shown.width, shown.height);
    }
    ScaledCopies result{.result = 0, .copies = {}, .shown = shown};
    for (const CopySize& size : sizes) {
        ResizePlan plan;
        if (const int32_t rc = plan_resize(resize_for(size, shown.width, shown.height), shown.width,
                                           shown.height, plan);
            rc != 0)
            return failed_copies(rc);
        pl::RgbImage copy = copy_at(image, plan);
        if (copy.empty())
            return failed_copies(failure_code());
        result.copies.push_back(std::move(copy));
    }
    return result;
}

// The copies drawn from a preview the JPEG carries where it is large enough for them, the
// others from the picture; std::nullopt when no copy can come from a preview.
std::optional<ScaledCopies> preview_copies(pl::PictureSource& source,
                                           const std::vector<int16_t>& transforms,
                                           std::span<const CopySize> sizes) {
    const std::optional<pl::PictureSize> stored = pl::read_picture_size(source, pl::kFormatJpeg);
    source.seek(0);
    if (!stored)
        return std::nullopt;
    const bool swapped = swaps_sides(transforms);
    pl::PictureSize shown = *stored;
    if (swapped)
        std::swap(shown.width, shown.height);
    std::vector<ResizePlan> plans(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        if (plan_resize(resize_for(sizes[i], shown.width, shown.height), shown.width, shown.height,
                        plans[i]) != 0 ||
            !plans[i].active)
            return std::nullopt;
    }
    // A preview that holds every copy, else one that holds the smallest; the copies it is
    // too small for come from the picture.
    pl::PictureSize least{plans[0].fit_width(), plans[0].fit_height()}, most = least;
    for (const ResizePlan& plan : plans) {
        least = {std::min(least.width, plan.fit_width()),
                 std::min(least.height, plan.fit_height())};
        most = {std::max(most.width, plan.fit_width()), std::max(most.height, plan.fit_height())};
    }
    if (swapped) {
        std::swap(least.width, least.height);
        std::swap(most.width, most.height);
    }
    pl::RgbImage preview = pl::detail::embedded_preview(source, *stored, most);
    if (preview.empty() && least != most)
        preview = pl::detail::embedded_preview(source, *stored, least);
    source.seek(0);
    if (preview.empty())
        return std::nullopt;
    // The preview is stored as the picture is, so it takes the same turn.
    for (const int16_t transform : transforms) {
        if (!apply_transform(preview, transform))
            return std::nullopt;
    }
    ScaledCopies result{
        .result = 0, .copies = std::vector<pl::RgbImage>(sizes.size()), .shown = shown};
    std::vector<CopySize> from_picture;
    std::vector<size_t> picture_slots;
    for (size_t i = 0; i < sizes.size(); ++i) {
        if (preview.width() >= plans[i].fit_width() && preview.height() >= plans[i].fit_height()) {
            result.copies[i] = copy_at(preview, plans[i]);
            if (result.copies[i].empty())
                return failed_copies(failure_code());
        } else {
            from_picture.push_back(sizes[i]);
            picture_slots.push_back(i);
        }
    }
    if (!from_picture.empty()) {
        ScaledCopies decoded = decoded_copies(source, pl::kFormatJpeg, transforms, from_picture);
        if (decoded.result != 0)
            return decoded;
        for (size_t j = 0; j < picture_slots.size(); ++j)
            result.copies[picture_slots[j]] = std::move(decoded.copies[j]);
    }
    return result;
}

ScaledCopies copies_of(const std::string& path, bool upright, std::span<const CopySize> sizes,
                       Previews previews) {
    pl::PictureSource source;
    if (!source.open(path))
        return failed_copies(kSourceUnreadable);
    const int code = format_code(source, file_extension(path));
    if (code == pl::kFormatUnknown)
        return failed_copies(kSourceUnreadable);
    std::vector<int16_t> transforms;
    if (upright && code == pl::kFormatJpeg) {
        transforms = pl::detail::upright_transforms(
            pl::detail::jpeg_orientation(pl::detail::jpeg_header(source)));
        source.seek(0);
    }
    if (previews == Previews::FirstWhereFit && code == pl::kFormatJpeg && !sizes.empty()) {
        if (std::optional<ScaledCopies> drawn = preview_copies(source, transforms, sizes))
            return std::move(*drawn);
    }
    return decoded_copies(source, code, transforms, sizes);
}

} // namespace

Resize resize_of_text(const std::string& text) {
    Resize resize;
    if (text.empty())
        return resize;
    resize.orient = text.find('*') != std::string::npos;
    resize.shrink_only = text.find('>') != std::string::npos;
    std::string numbers = text;
    std::erase(numbers, '*');
    std::erase(numbers, '>');
    resize.width = numeric_value(get_tokens(1, numbers, ","));
    resize.height = numeric_value(get_tokens(2, numbers, ","));
    return resize;
}

std::optional<ConvertRequest> convert_request_of(const std::string& crop_text,
                                                 const std::string& resize_text, int16_t quality,
                                                 int16_t transform) {
    ConvertRequest request{std::nullopt, resize_of_text(resize_text), quality, transform};
    if (!crop_text.empty()) {
        request.crop = text_to_rect(crop_text);
        if (!request.crop)
            return std::nullopt;
    }
    return request;
}

int32_t convert_image(const std::string& source_path, const std::string& target_path,
                      const ConvertRequest& request) {
    try {
        return convert_steps(source_path, target_path, request);
    } catch (...) {
        return kRuntimeFailure;
    }
}

// stretch, sharpen, reduce_8bit and the passwords are always passed off or empty by the
// program; they have no effect.
int32_t convert_image3(const std::string& source_path, const std::string& target_path,
                       const std::string& crop_text, const std::string& resize_text,
                       bool /*stretch*/, int16_t quality, int16_t /*sharpen*/, bool /*reduce_8bit*/,
                       const std::string& /*source_password*/,
                       const std::string& /*target_password*/, int16_t transform) {
    try {
        const std::optional<ConvertRequest> request =
            convert_request_of(crop_text, resize_text, quality, transform);
        if (!request)
            return kRuntimeFailure;
        return convert_steps(source_path, target_path, *request);
    } catch (...) {
        return kRuntimeFailure;
    }
}

ScaledCopies scaled_copies(const std::string& path, bool upright, std::span<const CopySize> sizes,
                           Previews previews) {
    try {
        return copies_of(path, upright, sizes, previews);
    } catch (...) {
        return failed_copies(kRuntimeFailure);
    }
}

int32_t jpeg_lossless_transform(const std::string& source, const std::string& target, int16_t code,
                                JpegEdges edges) {
    try {
        pl::PictureSource from;
        if (!from.open(source))
            return pl::last_error();
        // Nothing to do: no target is made, so no empty file can be copied over a picture.
        if (code == 0)
            return 0;
        pl::PictureTarget to;
        if (!to.open(target) || !pl::detail::transform_jpeg(from, to, code, edges) || !to.commit())
            return failure_code();
        return 0;
    } catch (...) {
        return kRuntimeFailure;
    }
}

std::optional<int> jpeg_transform_loss(const std::string& path, int16_t code) {
    try {
        pl::PictureSource source;
        if (!source.open(path))
            return std::nullopt;
        return pl::detail::transform_edge_loss(source, code);
    } catch (...) {
        return std::nullopt;
    }
}

int exif_orientation(const std::string& path) {
    try {
        pl::PictureSource source;
        if (!source.open(path))
            return 1;
        return pl::detail::jpeg_orientation(source.contents());
    } catch (...) {
        return 1;
    }
}

namespace {

// The picture's size from its header; upright, a sideways EXIF orientation swaps its sides.
std::optional<Size> header_size(const std::string& path, bool upright) {
    try {
        pl::PictureSource source;
        if (!source.open(path))
            return std::nullopt;
        const int code = format_code(source, file_extension(path));
        const std::optional<pl::PictureSize> size = pl::read_picture_size(source, code);
        if (!size)
            return std::nullopt;
        if (upright && pl::detail::jpeg_orientation(pl::detail::jpeg_header(source)) >= 5)
            return Size{size->height, size->width};
        return Size{size->width, size->height};
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace

std::optional<Size> image_size(const std::string& path) {
    return header_size(path, false);
}

std::optional<Size> shown_size(const std::string& path) {
    return header_size(path, true);
}

std::string size_text(const std::optional<Size>& size) {
    if (!size)
        return "ERROR";
    return std::to_string(size->width) + "," + std::to_string(size->height);
}

std::string get_image_size(const std::string& path) {
    return size_text(image_size(path));
}

std::optional<Rect> text_to_rect(const std::string& text) {
    int32_t values[4] = {};
    for (int i = 0; i < 4; ++i) {
        const double value = round_half_even(leading_number(get_tokens(i + 1, text, ",")));
        if (!in_16_bits(value))
            return std::nullopt;
        values[i] = int32_t(value);
    }
    return Rect{values[0], values[1], values[2], values[3]};
}

} // namespace orvix
