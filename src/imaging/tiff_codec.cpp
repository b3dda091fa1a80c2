#include "imaging/codecs.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <tiffio.h>

namespace orvix::picture::detail {

namespace {

// libtiff reads the bytes already in memory, or the file itself a piece at a time (a large
// picture is then never held whole), through these procedures.
struct MemoryFile {
    std::span<const uint8_t> bytes;
    PictureSource* source = nullptr; // read from instead of bytes when set
    toff_t position = 0;
    bool failed = false; // libtiff reported an error for this file
};

toff_t file_size_of(const MemoryFile& file) {
    return file.source ? toff_t(file.source->file_size()) : toff_t(file.bytes.size());
}

tmsize_t memory_read(thandle_t handle, void* buffer, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (size <= 0 || file->position >= file_size_of(*file))
        return 0;
    const size_t count = std::min<size_t>(size_t(size), file_size_of(*file) - file->position);
    if (file->source) {
        const int64_t n =
            file->source->read_at(int64_t(file->position), static_cast<uint8_t*>(buffer), count);
        if (n < 0)
            return -1;
        file->position += toff_t(n);
        return tmsize_t(n);
    }
    std::memcpy(buffer, file->bytes.data() + file->position, count);
    file->position += count;
    return tmsize_t(count);
}

tmsize_t memory_write(thandle_t, void*, tmsize_t) {
    return 0;
}

toff_t memory_seek(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    const toff_t base = whence == SEEK_CUR   ? file->position
                        : whence == SEEK_END ? file_size_of(*file)
                                             : 0;
    file->position = base + offset;
    return file->position;
}

int memory_close(thandle_t) {
    return 0;
}

toff_t memory_size(thandle_t handle) {
    return file_size_of(*static_cast<MemoryFile*>(handle));
}

int memory_map(thandle_t handle, void** base, toff_t* size) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (file->source)
        return 0;
    *base = const_cast<uint8_t*>(file->bytes.data());
    *size = file->bytes.size();
    return 1;
}

void memory_unmap(thandle_t, void*, toff_t) {}

// Handlers of this file only: the process-wide ones belong to Magick++'s TIFF coder.
int on_error(TIFF*, void* user_data, const char*, const char*, va_list) {
    static_cast<MemoryFile*>(user_data)->failed = true;
    return 1;
}

int on_warning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
struct OptionsFreer {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

template <typename T> T field(TIFF* tiff, ttag_t tag) {
    T value{};
    TIFFGetFieldDefaulted(tiff, tag, &value);
    return value;
}

// Interleaved 8-bit RGB in strips, the form cameras and most programs write.
bool plain_rgb(TIFF* tiff) {
    return !TIFFIsTiled(tiff) && field<uint16_t>(tiff, TIFFTAG_BITSPERSAMPLE) == 8 &&
           field<uint16_t>(tiff, TIFFTAG_SAMPLESPERPIXEL) == 3 &&
           field<uint16_t>(tiff, TIFFTAG_PLANARCONFIG) == PLANARCONFIG_CONTIG &&
           field<uint16_t>(tiff, TIFFTAG_PHOTOMETRIC) == PHOTOMETRIC_RGB &&
           TIFFIsCODECConfigured(field<uint16_t>(tiff, TIFFTAG_COMPRESSION));
}

// The first directory of the TIFF in file; null when libtiff refuses it.
std::unique_ptr<TIFF, TiffCloser> open_tiff(MemoryFile& file) {
    std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
    if (!options)
        return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), on_error, &file);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), on_warning, &file);
    // Bounds what a hostile strip or directory can make libtiff allocate at once.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxPictureBytes);
    std::unique_ptr<TIFF, TiffCloser> tiff(
        TIFFClientOpenExt("picture", "r", &file, memory_read, memory_write, memory_seek,
                          memory_close, memory_size, memory_map, memory_unmap, options.get()));
    if (file.failed)
        return nullptr;
    return tiff;
}

} // namespace

bool tiff_has_extra_samples(std::span<const uint8_t> bytes) {
    MemoryFile file{bytes};
    const std::unique_ptr<TIFF, TiffCloser> tiff = open_tiff(file);
    if (!tiff)
        return false;
    uint16_t count = 0;
    const uint16_t* kinds = nullptr;
    return TIFFGetField(tiff.get(), TIFFTAG_EXTRASAMPLES, &count, &kinds) == 1 && count > 0;
}

std::optional<PictureSize> tiff_size_directly(PictureSource& source) {
    MemoryFile file{{}, &source};
    const std::unique_ptr<TIFF, TiffCloser> tiff = open_tiff(file);
    if (!tiff || !plain_rgb(tiff.get()))
        return std::nullopt;
    const uint32_t width = field<uint32_t>(tiff.get(), TIFFTAG_IMAGEWIDTH);
    const uint32_t height = field<uint32_t>(tiff.get(), TIFFTAG_IMAGELENGTH);
    if (!picture_size_allowed(width, height))
        return std::nullopt;
    set_last_error(kNoError);
    return PictureSize{int(width), int(height)};
}

std::optional<RgbImage> read_tiff_directly(PictureSource& source, PictureSize min_size) {
    MemoryFile file{{}, &source};
    std::unique_ptr<TIFF, TiffCloser> tiff = open_tiff(file);
    if (!tiff || !plain_rgb(tiff.get()))
        return std::nullopt;
    const uint32_t width = field<uint32_t>(tiff.get(), TIFFTAG_IMAGEWIDTH);
    const uint32_t height = field<uint32_t>(tiff.get(), TIFFTAG_IMAGELENGTH);
    if (!picture_size_allowed(width, height))
        return RgbImage{};
    if (TIFFScanlineSize64(tiff.get()) != uint64_t(width) * 3)
        return std::nullopt;
    const size_t stride = size_t(width) * 3;
    const uint32_t strip_rows =
        std::clamp<uint32_t>(field<uint32_t>(tiff.get(), TIFFTAG_ROWSPERSTRIP), 1, height);
    if (TIFFNumberOfStrips(tiff.get()) != (height + strip_rows - 1) / strip_rows)
        return std::nullopt;
    BoxReduction reduction(int(width), int(height), min_size);
    if (reduction.failed())
        return RgbImage{};
    // Strips are decoded whole: straight into the picture, or into one strip's worth of
    // rows that the reduction takes in turn.
    Buffer strip;
    if (reduction.reduces()) {
        strip = allocate_buffer(stride * strip_rows);
        if (!strip) {
            set_last_error(kOutOfMemory);
            return RgbImage{};
        }
    }
    for (uint32_t y = 0; y < height; y += strip_rows) {
        const uint32_t rows = std::min(strip_rows, height - y);
        uint8_t* into = reduction.reduces() ? strip.get() : reduction.output().row(int(y));
        const tmsize_t size = tmsize_t(stride * rows);
        if (TIFFReadEncodedStrip(tiff.get(), TIFFComputeStrip(tiff.get(), y, 0), into, size) !=
                size ||
            file.failed) {
            set_last_error(kDecodeFailed);
            return RgbImage{};
        }
        if (reduction.reduces())
            for (uint32_t r = 0; r < rows; ++r)
                reduction.add_row(into + stride * r);
    }
    set_last_error(kNoError);
    return reduction.take();
}

} // namespace orvix::picture::detail
