// PNG writing straight from the RGB rows with libpng: no conversion to another pixel
// layout on the way, and the compression a photograph needs.
#include "imaging/codecs.h"

#include <csetjmp>
#include <png.h>
#include <vector>

namespace orvix::picture::detail {

namespace {

// Owns the libpng write structures.
class PngWriter {
public:
    PngWriter() {
        m_png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
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

} // namespace

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
