#include "imaging/codecs.h"

#include <cstring>
#include <turbojpeg.h>

namespace orvix::picture::detail {

namespace {

struct TjDestroyer {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDestroyer>;

struct TjFreer {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};
using TjBuffer = std::unique_ptr<unsigned char, TjFreer>;

// Enough for the markers in front of the frame header of nearly every camera file
// (a full EXIF segment and more); the rest is read only when needed.
constexpr size_t kHeaderProbeBytes = 128 * 1024;

// Pictures from this output size on get an output buffer of their own.
constexpr unsigned long kOwnOutputBufferBytes = 16ul << 20;

// Bounds the work a hostile progressive file can ask for.
constexpr int kDecodeFlags = TJFLAG_LIMITSCANS;

struct JpegHeader {
    int width = 0;
    int height = 0;
    int colorspace = 0;
};

// libjpeg reports a picture that lost its end (or has damaged entropy data) as a warning;
// only stray bytes between markers, which some cameras write, leave a picture whole.
bool outcome_acceptable(tjhandle handle, int rc) {
    if (rc == 0)
        return true;
    return tjGetErrorCode(handle) == TJERR_WARNING &&
           std::strstr(tjGetErrorStr2(handle), "extraneous bytes") != nullptr;
}

std::optional<JpegHeader> parse_header(tjhandle handle, std::span<const uint8_t> bytes) {
    if (bytes.empty())
        return std::nullopt;
    JpegHeader header;
    int subsampling = 0;
    const int rc = tjDecompressHeader3(handle, bytes.data(), bytes.size(), &header.width,
                                       &header.height, &subsampling, &header.colorspace);
    // A warning (stray bytes before the frame header) still gives a usable size; a header
    // cut short gives none.
    if (rc != 0 &&
        (tjGetErrorCode(handle) != TJERR_WARNING || header.width <= 0 || header.height <= 0))
        return std::nullopt;
    return header;
}

// The header from the first bytes, or from the whole file when the markers run longer.
std::optional<JpegHeader> read_header(tjhandle handle, PictureSource& source) {
    set_last_error(kNoError);
    std::optional<JpegHeader> header = parse_header(handle, source.prefix(kHeaderProbeBytes));
    if (!header && source.file_size() > int64_t(kHeaderProbeBytes))
        header = parse_header(handle, source.contents());
    if (!header) {
        set_last_error(last_error() == kNoError ? kHeaderInvalid : last_error());
        return std::nullopt;
    }
    if (!picture_size_allowed(header->width, header->height))
        return std::nullopt;
    // The CMYK path needs four bytes a pixel.
    const bool cmyk = header->colorspace == TJCS_CMYK || header->colorspace == TJCS_YCCK;
    if (cmyk && int64_t(header->width) * header->height > kMaxPictureBytes / 4) {
        set_last_error(kTooLarge);
        return std::nullopt;
    }
    return header;
}

// The smallest DCT scale whose output still covers min_size, or full size.
tjscalingfactor choose_scale(const JpegHeader& header, PictureSize min_size) {
    tjscalingfactor best{1, 1};
    if (min_size.width <= 0 || min_size.height <= 0)
        return best;
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    for (int i = 0; factors && i < count; ++i) {
        const tjscalingfactor f = factors[i];
        if (f.num > f.denom)
            continue;
        const int w = TJSCALED(header.width, f), h = TJSCALED(header.height, f);
        if (w >= min_size.width && h >= min_size.height && w < TJSCALED(header.width, best))
            best = f;
    }
    return best;
}

// Adobe applications store CMYK inverted; the plain product gives the usual rendering.
void cmyk_to_rgb(const uint8_t* cmyk, RgbImage& image) {
    uint8_t* rgb = image.data();
    const size_t count = size_t(image.width()) * size_t(image.height());
    for (size_t i = 0; i < count; ++i, cmyk += 4, rgb += 3) {
        rgb[0] = uint8_t(cmyk[0] * cmyk[3] / 255);
        rgb[1] = uint8_t(cmyk[1] * cmyk[3] / 255);
        rgb[2] = uint8_t(cmyk[2] * cmyk[3] / 255);
    }
}

bool decode_cmyk(tjhandle handle, std::span<const uint8_t> bytes, RgbImage& image) {
    const size_t size = size_t(image.width()) * size_t(image.height()) * 4;
    const Buffer cmyk = allocate_buffer(size);
    if (!cmyk) {
        set_last_error(kOutOfMemory);
        return false;
    }
    const int rc = tjDecompress2(handle, bytes.data(), bytes.size(), cmyk.get(), image.width(), 0,
                                 image.height(), TJPF_CMYK, kDecodeFlags);
    if (!outcome_acceptable(handle, rc)) {
        set_last_error(kDecodeFailed);
        return false;
    }
    cmyk_to_rgb(cmyk.get(), image);
    return true;
}

} // namespace

std::optional<PictureSize> jpeg_size(PictureSource& source) {
    TjHandle handle(tjInitDecompress());
    if (!handle) {
        set_last_error(kOutOfMemory);
        return std::nullopt;
    }
    const std::optional<JpegHeader> header = read_header(handle.get(), source);
    if (!header)
        return std::nullopt;
    set_last_error(kNoError);
    return PictureSize{header->width, header->height};
}

RgbImage read_jpeg(PictureSource& source, PictureSize min_size) {
    TjHandle handle(tjInitDecompress());
    if (!handle) {
        set_last_error(kOutOfMemory);
        return {};
    }
    const std::optional<JpegHeader> header = read_header(handle.get(), source);
    if (!header)
        return {};
    const std::span<const uint8_t> bytes = source.contents();
    if (bytes.empty())
        return {};
    const tjscalingfactor scale = choose_scale(*header, min_size);
    RgbImage image =
        RgbImage::allocate(TJSCALED(header->width, scale), TJSCALED(header->height, scale));
    if (image.empty())
        return image;
    if (header->colorspace == TJCS_CMYK || header->colorspace == TJCS_YCCK) {
        if (!decode_cmyk(handle.get(), bytes, image))
            return {};
        set_last_error(kNoError);
        return image;
    }
    const int rc = tjDecompress2(handle.get(), bytes.data(), bytes.size(), image.data(),
                                 image.width(), 0, image.height(), TJPF_RGB, kDecodeFlags);
    if (!outcome_acceptable(handle.get(), rc)) {
        set_last_error(kDecodeFailed);
        return {};
    }
    set_last_error(kNoError);
    return image;
}

bool write_jpeg(PictureTarget& target, const RgbImage& image, int quality) {
    TjHandle handle(tjInitCompress());
    if (!handle) {
        set_last_error(kOutOfMemory);
        return false;
    }
    // Full colour resolution at high qualities, where halving the chroma would be the
    // largest loss left.
    const int subsampling = quality >= 90 ? TJSAMP_444 : TJSAMP_420;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int rc = tjCompress2(handle.get(), image.data(), image.width(), 0, image.height(),
                               TJPF_RGB, &out, &size, subsampling, quality, 0);
    const TjBuffer owned(out);
    if (rc != 0) {
        set_last_error(kEncodeFailed);
        return false;
    }
    return target.write({out, size});
}

bool transform_jpeg(PictureSource& source, PictureTarget& target, int code) {
    tjtransform transform{};
    switch (code) {
    case 1:
        transform.op = TJXOP_HFLIP;
        break;
    case 2:
        transform.op = TJXOP_VFLIP;
        break;
    case 5:
        transform.op = TJXOP_ROT90;
        break;
    case 6:
        transform.op = TJXOP_ROT180;
        break;
    case 7:
        transform.op = TJXOP_ROT270;
        break;
    default:
        set_last_error(kBadArgument);
        return false;
    }
    // Partial blocks on the moved edges cannot be transformed losslessly; like
    // jpegtran -trim they are dropped. Markers are copied (no TJXOPT_COPYNONE).
    transform.options = TJXOPT_TRIM;
    TjHandle handle(tjInitTransform());
    if (!handle) {
        set_last_error(kOutOfMemory);
        return false;
    }
    // The coefficients of the whole picture are held at once: the same size limit as a decode.
    const std::optional<JpegHeader> header = read_header(handle.get(), source);
    if (!header)
        return false;
    const std::span<const uint8_t> bytes = source.contents();
    if (bytes.empty())
        return false;
    // A camera picture's output goes to a buffer of our own, large enough for any entropy
    // data (tjBufSize) and on huge pages; the library's growing buffer would fault in
    // 4 KB at a time. Small pictures, whose markers may outweigh the pixels, and the rare
    // file whose markers do not fit, use the library's buffer.
    const unsigned long budget = tjBufSize(header->width, header->height, TJSAMP_444);
    if (budget != static_cast<unsigned long>(-1) && budget >= kOwnOutputBufferBytes) {
        const Buffer own = allocate_buffer(budget);
        unsigned char* out = own.get();
        unsigned long size = budget;
        if (out && tjTransform(handle.get(), bytes.data(), bytes.size(), 1, &out, &size, &transform,
                               kDecodeFlags | TJFLAG_NOREALLOC) == 0)
            return target.write({out, size});
    }
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int rc = tjTransform(handle.get(), bytes.data(), bytes.size(), 1, &out, &size, &transform,
                               kDecodeFlags);
    const TjBuffer owned(out);
    if (!outcome_acceptable(handle.get(), rc) || !out) {
        set_last_error(kTransformFailed);
        return false;
    }
    return target.write({out, size});
}

} // namespace orvix::picture::detail
