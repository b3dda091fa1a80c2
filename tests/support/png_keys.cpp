#include "support/png_keys.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <png.h>
#include <sys/stat.h>

namespace orvix::test {

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

class PngReader {
public:
    PngReader() {
        m_png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        if (m_png)
            m_info = png_create_info_struct(m_png);
    }
    ~PngReader() { png_destroy_read_struct(&m_png, &m_info, nullptr); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

// Nothing with a destructor lives in this frame: libpng's longjmp skips no cleanup.
bool read_facts(png_structp png, png_infop info, FILE* file, PngFacts* facts) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_read_info(png, info);
    facts->width = static_cast<int>(png_get_image_width(png, info));
    facts->height = static_cast<int>(png_get_image_height(png, info));
    png_textp texts = nullptr;
    int count = 0;
    png_get_text(png, info, &texts, &count);
    for (int i = 0; i < count; ++i)
        facts->keys[texts[i].key] = std::string(texts[i].text, texts[i].text_length);
    return true;
}

} // namespace

std::optional<PngFacts> read_png_facts(const std::string& path) {
    const std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return std::nullopt;
    PngReader reader;
    if (!reader.m_png || !reader.m_info)
        return std::nullopt;
    PngFacts facts;
    if (!read_facts(reader.m_png, reader.m_info, file.get(), &facts))
        return std::nullopt;
    return facts;
}

int mode_of(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return -1;
    return static_cast<int>(info.st_mode & 07777);
}

} // namespace orvix::test
