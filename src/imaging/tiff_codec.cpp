#include "imaging/codecs.h"

#include <cstdarg>
#include <cstring>
#include <tiffio.h>

namespace orvix::picture::detail {

namespace {

// libtiff reads the bytes already in memory through these procedures.
struct MemoryFile {
    std::span<const uint8_t> bytes;
    toff_t position = 0;
    bool failed = false; // libtiff reported an error for this file
};

tmsize_t memory_read(thandle_t handle, void* buffer, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (size <= 0 || file->position >= file->bytes.size())
        return 0;
    const size_t count = std::min<size_t>(size_t(size), file->bytes.size() - file->position);
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
                        : whence == SEEK_END ? toff_t(file->bytes.size())
                                             : 0;
    file->position = base + offset;
    return file->position;
}

int memory_close(thandle_t) {
    return 0;
}

toff_t memory_size(thandle_t handle) {
    return static_cast<MemoryFile*>(handle)->bytes.size();
}

int memory_map(thandle_t handle, void** base, toff_t* size) {
    auto* file = static_cast<MemoryFile*>(handle);
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

std::optional<RgbImage> read_tiff_directly(std::span<const uint8_t> bytes) {
    MemoryFile file{bytes};
    std::unique_ptr<TIFF, TiffCloser> tiff = open_tiff(file);
    if (!tiff || !plain_rgb(tiff.get()))
        return std::nullopt;
    const uint32_t width = field<uint32_t>(tiff.get(), TIFFTAG_IMAGEWIDTH);
    const uint32_t height = field<uint32_t>(tiff.get(), TIFFTAG_IMAGELENGTH);
    if (!picture_size_allowed(width, height))
        return RgbImage{};
    if (TIFFScanlineSize64(tiff.get()) != uint64_t(width) * 3)
        return std::nullopt;
    RgbImage image = RgbImage::allocate(int(width), int(height));
    if (image.empty())
        return image;
    for (uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tiff.get(), image.row(int(y)), y, 0) < 0 || file.failed) {
            set_last_error(kDecodeFailed);
            return RgbImage{};
        }
    }
    set_last_error(kNoError);
    return image;
}

} // namespace orvix::picture::detail
