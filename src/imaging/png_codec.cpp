// PNG writing straight from the RGB rows with libpng: no conversion to another pixel
// layout on the way, and the compression a photograph needs. Reading a row at a time from
// the file, so that a large picture can be reduced as it is decoded, never held whole.
#include "imaging/codecs.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <png.h>
#include <vector>

namespace orvix::picture::detail {

namespace {

// A damaged file or a failed write is reported by our result codes, not on the terminal.
void on_error(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

// Owns the libpng write structures.
class PngWriter {
public:
    PngWriter() {
        m_png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, on_error, on_warning);
        if (m_png)
            m_info = png_create_info_struct(m_png);
    }
    ~PngWriter() { png_destroy_write_struct(&m_png, &m_info); }
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    bool valid() const { return m_png && m_info; }
    png_structp png() const { return m_png; }
    png_infop info() const { return m_info; }

private:
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

void append_bytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void no_flush(png_structp) {}

// libpng reports errors by longjmp; this frame holds nothing with a destructor, so the
// jump skips no cleanup (the structures and the output belong to the caller).
// The texts go ahead of the pixels, where a reader finds them without reading the rest.
bool encode_rows(png_structp png, png_infop info, const RgbImage& image,
                 std::vector<png_text>* texts, std::vector<uint8_t>* out) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, out, append_bytes, no_flush);
    png_set_IHDR(png, info, png_uint_32(image.width()), png_uint_32(image.height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!texts->empty())
        png_set_text(png, info, texts->data(), static_cast<int>(texts->size()));
    // zlib level 1 after the "sub" row filter: on photographs this gives smaller files
    // than no filter, and higher levels or adaptive filters cost several times the time
    // for a few percent.
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_write_info(png, info);
    for (int y = 0; y < image.height(); ++y)
        png_write_row(png, image.row(y));
    png_write_end(png, info);
    return true;
}

// Owns the libpng read structures.
class PngReader {
public:
    PngReader() {
        m_png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, on_error, on_warning);
        if (m_png)
            m_info = png_create_info_struct(m_png);
    }
    ~PngReader() { png_destroy_read_struct(&m_png, &m_info, nullptr); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    bool valid() const { return m_png && m_info; }
    png_structp png() const { return m_png; }
    png_infop info() const { return m_info; }

private:
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

// The file read ahead in pieces: libpng asks for a few bytes at a time.
struct PngInput {
    PictureSource* source = nullptr;
    std::vector<uint8_t> buffer;
    size_t start = 0; // of the unread bytes in buffer
    size_t end = 0;
    int64_t offset = 0; // in the file, of buffer's end
};

void read_bytes(png_structp png, png_bytep data, png_size_t length) {
    auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
    while (length > 0) {
        if (input->start == input->end) {
            const int64_t n =
                input->source->read_at(input->offset, input->buffer.data(), input->buffer.size());
            if (n <= 0)
                png_error(png, "file ends early");
            input->start = 0;
            input->end = size_t(n);
            input->offset += n;
        }
        const size_t count = std::min(length, input->end - input->start);
        std::memcpy(data, input->buffer.data() + input->start, count);
        input->start += count;
        data += count;
        length -= count;
    }
}

// What the header gives, and whether the rows then come out as 8-bit RGB.
struct PngHeader {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    bool supported = false;
};

// libpng reports errors by longjmp; these frames hold nothing with a destructor (the
// structures, the input and the reduction belong to the caller).
bool read_header(png_structp png, png_infop info, PngInput* input, PngHeader* header) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, input, read_bytes);
    png_read_info(png, info);
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE)
        return true;
    // The colours as stored: palettes and grey expanded, alpha left out, 16 bits rounded.
    png_set_palette_to_rgb(png);
    png_set_expand_gray_1_2_4_to_8(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_strip_alpha(png);
    png_read_update_info(png, info);
    header->supported = png_get_rowbytes(png, info) == size_t(header->width) * 3;
    return true;
}

bool read_rows(png_structp png, png_infop info, BoxReduction* reduction, uint8_t* row) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    const int height = int(png_get_image_height(png, info));
    for (int y = 0; y < height; ++y) {
        if (reduction->reduces()) {
            png_read_row(png, row, nullptr);
            reduction->add_row(row);
        } else {
            png_read_row(png, reduction->output().row(y), nullptr);
        }
    }
    return true;
}

// The source opened with libpng and its header read; false when it is not a PNG libpng
// reads or one read_png_directly leaves to Magick++.
bool open_png(PngReader& reader, PngInput& input, PictureSource& source, PngHeader& header) {
    if (!reader.valid())
        return false;
    input.source = &source;
    input.buffer.resize(size_t(1) << 18);
    return read_header(reader.png(), reader.info(), &input, &header) && header.supported;
}

} // namespace

std::optional<PictureSize> png_size_directly(PictureSource& source) {
    PngReader reader;
    PngInput input;
    PngHeader header;
    if (!open_png(reader, input, source, header) ||
        !picture_size_allowed(header.width, header.height))
        return std::nullopt;
    set_last_error(kNoError);
    return PictureSize{int(header.width), int(header.height)};
}

std::optional<RgbImage> read_png_directly(PictureSource& source, PictureSize min_size) {
    PngReader reader;
    PngInput input;
    PngHeader header;
    if (!open_png(reader, input, source, header))
        return std::nullopt;
    if (!picture_size_allowed(header.width, header.height))
        return RgbImage{};
    BoxReduction reduction(int(header.width), int(header.height), min_size);
    if (reduction.failed())
        return RgbImage{};
    std::vector<uint8_t> row(reduction.reduces() ? size_t(header.width) * 3 : 0);
    if (!read_rows(reader.png(), reader.info(), &reduction, row.data())) {
        set_last_error(kDecodeFailed);
        return RgbImage{};
    }
    set_last_error(kNoError);
    return reduction.take();
}

bool write_png(PictureTarget& target, const RgbImage& image) {
    const std::vector<uint8_t> bytes = encode_png(image, {});
    return !bytes.empty() && target.write(bytes);
}

} // namespace orvix::picture::detail

namespace orvix::picture {

std::vector<uint8_t> encode_png(const RgbImage& image, std::span<const PngText> texts) {
    detail::PngWriter writer;
    if (!writer.valid()) {
        set_last_error(kOutOfMemory);
        return {};
    }
    std::vector<png_text> chunks;
    chunks.reserve(texts.size());
    for (const PngText& text : texts) {
        png_text chunk{};
        chunk.compression = PNG_TEXT_COMPRESSION_NONE;
        chunk.key = const_cast<char*>(text.key.c_str());
        chunk.text = const_cast<char*>(text.text.c_str());
        chunk.text_length = text.text.size();
        chunks.push_back(chunk);
    }
    std::vector<uint8_t> bytes;
    bytes.reserve(image.byte_size() + image.byte_size() / 64 + 1024);
    if (!detail::encode_rows(writer.png(), writer.info(), image, &chunks, &bytes)) {
        set_last_error(kEncodeFailed);
        return {};
    }
    return bytes;
}

} // namespace orvix::picture
