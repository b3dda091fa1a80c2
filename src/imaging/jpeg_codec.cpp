#include "imaging/codecs.h"
#include "imaging/jpeg_metadata.h"

#include <algorithm>
#include <cstring>
#include <turbojpeg.h>
#include <vector>

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
    // From the frame header: the 8x8 blocks of all components together, and whether the
    // entropy coding is arithmetic (else Huffman).
    int64_t blocks = 0;
    bool arithmetic = false;
    // TurboJPEG refuses a few valid layouts (4:1:0 and other rare chroma subsamplings);
    // such a picture is decoded by the general reader instead.
    bool general_reader = false;

    // libjpeg holds every block's 64 coefficients at once for progressive and multi-scan
    // pictures and for lossless transforms.
    int64_t coefficient_bytes() const { return blocks * 64 * 2; }
};

int64_t blocks_across(int64_t size, int factor, int largest) {
    return (size * factor + largest * 8 - 1) / (largest * 8);
}

// Fills in blocks and arithmetic from the SOFn segment's contents; false when they do
// not hold together.
bool read_frame(uint8_t marker, std::span<const uint8_t> segment, JpegHeader& header) {
    if (segment.size() < 6)
        return false;
    const int64_t height = (segment[1] << 8) | segment[2];
    const int64_t width = (segment[3] << 8) | segment[4];
    const size_t components = segment[5];
    if (components == 0 || segment.size() < 6 + 3 * components)
        return false;
    int largest_h = 0, largest_v = 0;
    for (size_t i = 0; i < components; ++i) {
        const uint8_t factors = segment[6 + 3 * i + 1];
        if ((factors >> 4) == 0 || (factors & 15) == 0)
            return false;
        largest_h = std::max(largest_h, factors >> 4);
        largest_v = std::max(largest_v, factors & 15);
    }
    header.blocks = 0;
    for (size_t i = 0; i < components; ++i) {
        const uint8_t factors = segment[6 + 3 * i + 1];
        header.blocks += blocks_across(width, factors >> 4, largest_h) *
                         blocks_across(height, factors & 15, largest_v);
    }
    header.arithmetic = marker >= 0xC9;
    if (header.width <= 0 || header.height <= 0) {
        header.width = int(width);
        header.height = int(height);
    }
    return true;
}

// Walks the markers from SOI to the frame header as libjpeg does (bytes between markers
// are skipped) and reads it; false when no usable frame header comes before the first scan.
bool find_frame(std::span<const uint8_t> b, JpegHeader& header) {
    size_t at = 2;
    while (at + 4 <= b.size()) {
        if (b[at] != 0xFF || b[at + 1] == 0xFF) {
            ++at;
            continue;
        }
        const uint8_t marker = b[at + 1];
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // no length
            at += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            return false;
        const size_t length = size_t(b[at + 2] << 8) | b[at + 3];
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame)
            return length >= 2 &&
                   read_frame(marker, b.subspan(at + 4, std::min(length - 2, b.size() - at - 4)),
                              header);
        at += 2 + length;
    }
    return false;
}

// A file's bytes, ending with an EOI marker. A camera file cut short right at its end lacks
// only that marker, and libjpeg warns of the file's end as it would for a file cut inside
// its data. With the marker put back such a file decodes without a warning, while one cut
// inside a Huffman-coded scan still warns of the data it lacks. Arithmetic coding passes a
// marker inside its data without a warning, so an arithmetic-coded file is taken as it is:
// only the end of its bytes tells that data is missing. Bytes that already end with the
// marker are used as they are; others are copied once.
class EndedJpeg {
public:
    EndedJpeg(std::span<const uint8_t> bytes, const JpegHeader& header) : m_bytes(bytes) {
        const bool ended =
            bytes.size() >= 2 && bytes[bytes.size() - 2] == 0xFF && bytes.back() == 0xD9;
        if (ended || header.arithmetic)
            return;
        m_copy.reserve(bytes.size() + 2);
        m_copy.assign(bytes.begin(), bytes.end());
        m_copy.push_back(0xFF);
        m_copy.push_back(0xD9);
        m_bytes = m_copy;
    }
    EndedJpeg(const EndedJpeg&) = delete;
    EndedJpeg& operator=(const EndedJpeg&) = delete;

    std::span<const uint8_t> bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_copy;
    std::span<const uint8_t> m_bytes;
};

// libjpeg reports a picture that lost its end (or has damaged entropy data) as a warning;
// only stray bytes between markers, which some cameras write, leave a picture whole.
bool outcome_acceptable(tjhandle handle, int rc) {
    if (rc == 0)
        return true;
    return tjGetErrorCode(handle) == TJERR_WARNING &&
           std::strstr(tjGetErrorStr2(handle), "extraneous bytes") != nullptr;
}

// libjpeg goes on after a warning and makes up what is missing, so a file cut short would
// still have it fill (and decode into) every byte of the memory its header declares. The
// first attempt therefore stops at the first warning; only when that warning is harmless
// does a second attempt go on to the end. run(flags) is one attempt; its outcome is returned.
template <typename Attempt> bool run_stopping_at_damage(tjhandle handle, Attempt run) {
    int rc = run(kDecodeFlags | TJFLAG_STOPONWARNING);
    if (rc != 0 && outcome_acceptable(handle, rc))
        rc = run(kDecodeFlags);
    return outcome_acceptable(handle, rc);
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
    const bool usable = rc == 0 || (tjGetErrorCode(handle) == TJERR_WARNING && header.width > 0 &&
                                    header.height > 0);
    if (!usable)
        header.width = header.height = 0;
    if (!find_frame(bytes, header) || header.width <= 0 || header.height <= 0)
        return std::nullopt;
    // A frame header that holds together but that TurboJPEG will not take.
    header.general_reader = !usable;
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
    if ((cmyk && int64_t(header->width) * header->height > kMaxPictureBytes / 4) ||
        header->coefficient_bytes() > kMaxPictureBytes) {
        set_last_error(kTooLarge);
        return std::nullopt;
    }
    // Huffman coding spends at least one bit on each block (its DC code). A file too short
    // for that is cut off or lies about its size: refused before libjpeg allocates and
    // fills the memory of the size it declares.
    if (!header->arithmetic && source.file_size() * 8 < header->blocks) {
        set_last_error(kDecodeFailed);
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
    const bool decoded = run_stopping_at_damage(handle, [&](int flags) {
        return tjDecompress2(handle, bytes.data(), bytes.size(), cmyk.get(), image.width(), 0,
                             image.height(), TJPF_CMYK, flags);
    });
    if (!decoded) {
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
    if (header->general_reader)
        return read_magick(source, "JPEG");
    const std::span<const uint8_t> contents = source.contents();
    if (contents.empty())
        return {};
    const EndedJpeg ended(contents, *header);
    const std::span<const uint8_t> bytes = ended.bytes();
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
    const bool decoded = run_stopping_at_damage(handle.get(), [&](int flags) {
        return tjDecompress2(handle.get(), bytes.data(), bytes.size(), image.data(), image.width(),
                             0, image.height(), TJPF_RGB, flags);
    });
    if (!decoded) {
        set_last_error(kDecodeFailed);
        return {};
    }
    set_last_error(kNoError);
    return image;
}

bool write_jpeg(PictureTarget& target, const RgbImage& image, int quality,
                std::span<const uint8_t> metadata, const ExifChange& change) {
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
    if (metadata.empty())
        return target.write({out, size});
    return write_jpeg_with_metadata(target, {out, size}, metadata, change);
}

namespace {

// The TurboJPEG operation of a transform code; std::nullopt for other codes.
std::optional<int> transform_operation(int code) {
    switch (code) {
    case 1:
        return TJXOP_HFLIP;
    case 2:
        return TJXOP_VFLIP;
    case 5:
        return TJXOP_ROT90;
    case 6:
        return TJXOP_ROT180;
    case 7:
        return TJXOP_ROT270;
    case kTransformTranspose:
        return TJXOP_TRANSPOSE;
    case kTransformTransverse:
        return TJXOP_TRANSVERSE;
    case kTransformNone:
        return TJXOP_NONE;
    default:
        return std::nullopt;
    }
}

// The chroma subsampling as TurboJPEG reads it from the header; std::nullopt for layouts
// it does not name (it transforms none of those).
std::optional<int> header_subsampling(tjhandle handle, PictureSource& source) {
    const auto read = [&](std::span<const uint8_t> bytes) -> std::optional<int> {
        int width = 0, height = 0, subsampling = -1, colorspace = 0;
        if (bytes.empty())
            return std::nullopt;
        const int rc = tjDecompressHeader3(handle, bytes.data(), bytes.size(), &width, &height,
                                           &subsampling, &colorspace);
        // Stray bytes ahead of the frame header are a warning; the header itself is whole.
        if (rc != 0 && tjGetErrorCode(handle) != TJERR_WARNING)
            return std::nullopt;
        if (subsampling < 0 || subsampling >= TJ_NUMSAMP || width <= 0 || height <= 0)
            return std::nullopt;
        return subsampling;
    };
    if (const std::optional<int> early = read(source.prefix(kHeaderProbeBytes)))
        return early;
    return source.file_size() > int64_t(kHeaderProbeBytes) ? read(source.contents()) : std::nullopt;
}

} // namespace

std::optional<int> transform_edge_loss(PictureSource& source, int code) {
    const std::optional<int> operation = transform_operation(code);
    if (!operation) {
        set_last_error(kBadArgument);
        return std::nullopt;
    }
    TjHandle handle(tjInitTransform());
    if (!handle) {
        set_last_error(kOutOfMemory);
        return std::nullopt;
    }
    const std::optional<JpegHeader> header = read_header(handle.get(), source);
    if (!header)
        return std::nullopt;
    const std::optional<int> subsampling =
        header->general_reader ? std::nullopt : header_subsampling(handle.get(), source);
    if (!subsampling) {
        set_last_error(kTransformFailed);
        return std::nullopt;
    }
    // libjpeg's own rule: an operation that moves the right (bottom) edge elsewhere needs
    // the width (height) to be whole MCUs; the rest of the last MCU is what a trim drops.
    const int columns = header->width % tjMCUWidth[*subsampling];
    const int rows = header->height % tjMCUHeight[*subsampling];
    const bool moves_right = code == 1 || code == 6 || code == 7 || code == kTransformTransverse;
    const bool moves_bottom = code == 2 || code == 5 || code == 6 || code == kTransformTransverse;
    // A moved edge shorter than one MCU is not trimmed by libjpeg but left untransformed,
    // so such a picture cannot be turned without decoding.
    if ((moves_right && columns == header->width) || (moves_bottom && rows == header->height)) {
        set_last_error(kTransformFailed);
        return std::nullopt;
    }
    set_last_error(kNoError);
    return std::max(moves_right ? columns : 0, moves_bottom ? rows : 0);
}

bool transform_jpeg(PictureSource& source, PictureTarget& target, int code, JpegEdges edges) {
    const std::optional<int> operation = transform_operation(code);
    if (!operation) {
        set_last_error(kBadArgument);
        return false;
    }
    tjtransform transform{};
    transform.op = *operation;
    // Partial MCUs on the moved edges cannot be transformed losslessly: a trim drops them,
    // like jpegtran -trim; an exact transform refuses the picture.
    transform.options = edges == JpegEdges::Trim ? TJXOPT_TRIM : TJXOPT_PERFECT;
    // The source's markers are put back below in one pass: libjpeg's copy of them appends
    // each to a list it walks from the start, a cost that grows with the square of their
    // number (minutes for a file of many small segments).
    transform.options |= TJXOPT_COPYNONE;
    TjHandle handle(tjInitTransform());
    if (!handle) {
        set_last_error(kOutOfMemory);
        return false;
    }
    const std::optional<JpegHeader> header = read_header(handle.get(), source);
    if (!header)
        return false;
    // TurboJPEG transforms only the layouts it can read itself; the others cannot be
    // turned without decoding.
    if (header->general_reader) {
        set_last_error(kTransformFailed);
        return false;
    }
    // The coefficients of the source and of the turned picture are held at once.
    if (2 * header->coefficient_bytes() > kMaxPictureBytes) {
        set_last_error(kTooLarge);
        return false;
    }
    const std::span<const uint8_t> contents = source.contents();
    if (contents.empty())
        return false;
    const EndedJpeg ended(contents, *header);
    const std::span<const uint8_t> bytes = ended.bytes();
    // A camera picture's output goes to a buffer of our own, large enough for any entropy
    // data (tjBufSize) and on huge pages; the library's growing buffer would fault in
    // 4 KB at a time. Small pictures, whose markers may outweigh the pixels, and the rare
    // file whose markers do not fit, use the library's buffer.
    const unsigned long budget = tjBufSize(header->width, header->height, TJSAMP_444);
    const Buffer own = budget != static_cast<unsigned long>(-1) && budget >= kOwnOutputBufferBytes
                           ? allocate_buffer(budget)
                           : Buffer();
    TjBuffer library_buffer;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const bool transformed = run_stopping_at_damage(handle.get(), [&](int flags) {
        if (own) {
            out = own.get();
            size = budget;
            const int rc = tjTransform(handle.get(), bytes.data(), bytes.size(), 1, &out, &size,
                                       &transform, flags | TJFLAG_NOREALLOC);
            if (rc == 0 || tjGetErrorCode(handle.get()) == TJERR_WARNING)
                return rc;
        }
        out = nullptr;
        size = 0;
        const int rc = tjTransform(handle.get(), bytes.data(), bytes.size(), 1, &out, &size,
                                   &transform, flags);
        library_buffer.reset(out);
        return rc;
    });
    if (!transformed || !out) {
        set_last_error(kTransformFailed);
        return false;
    }
    const std::span<const uint8_t> result(out, size);
    const std::optional<PictureSize> turned = frame_size(result);
    const ExifChange change{true, turned ? turned->width : 0, turned ? turned->height : 0};
    return write_jpeg_with_metadata(target, result, jpeg_metadata(source), change);
}

} // namespace orvix::picture::detail
