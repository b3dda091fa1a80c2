#include "thumbcache/thumbcache.h"

#include "fs/file_io.h"
#include "fs/fs.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <glib.h>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace orvix {

namespace {

// GLib's strings, freed with g_free on every path.
struct GFree {
    void operator()(gchar* text) const { g_free(text); }
};
using GText = std::unique_ptr<gchar, GFree>;

const char* folder_of(CacheSize size) {
    return size == CacheSize::Normal ? "normal/" : "large/";
}

// The keys of a cached thumbnail sit ahead of its pixels; a file manager's thumbnail keeps
// them there too, so only the head of the file is read.
constexpr size_t kKeysReadLimit = 64 * 1024;
constexpr std::array<uint8_t, 8> kPngSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

uint32_t be32(const char* p) {
    const auto* u = reinterpret_cast<const uint8_t*>(p);
    return (uint32_t(u[0]) << 24) | (uint32_t(u[1]) << 16) | (uint32_t(u[2]) << 8) | u[3];
}

// The tEXt keys of a PNG's head, up to its first pixel data.
std::map<std::string, std::string> png_keys(const std::string& head) {
    std::map<std::string, std::string> keys;
    if (head.size() < kPngSignature.size() ||
        !std::equal(kPngSignature.begin(), kPngSignature.end(),
                    reinterpret_cast<const uint8_t*>(head.data())))
        return keys;
    size_t at = kPngSignature.size();
    while (head.size() - at >= 8) {
        const uint64_t length = be32(head.data() + at);
        const std::string type = head.substr(at + 4, 4);
        if (type == "IDAT" || type == "IEND" || head.size() - at - 8 < length)
            break;
        if (type == "tEXt") {
            const std::string data = head.substr(at + 8, length);
            const size_t nul = data.find('\0');
            if (nul != std::string::npos)
                keys.emplace(data.substr(0, nul), data.substr(nul + 1));
        }
        at += 8 + length + 4; // length, type, data, CRC
        if (at > head.size())
            break;
    }
    return keys;
}

std::optional<int64_t> whole_number(const std::string& text) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::string read_head(const std::string& path) {
    off_t size = 0;
    const UniqueFd fd = open_regular_file(path, size);
    if (!fd.valid())
        return {};
    std::string head(std::min<size_t>(static_cast<size_t>(size), kKeysReadLimit), '\0');
    const ssize_t got = read_full(fd.get(), head.data(), head.size());
    if (got < 0)
        return {};
    head.resize(static_cast<size_t>(got));
    return head;
}

bool write_thumbnail(const std::string& path, const picture::RgbImage& image,
                     const std::vector<picture::PngText>& keys) {
    const std::vector<uint8_t> bytes = picture::encode_png(image, keys);
    if (bytes.empty())
        return false;
    ReplacementFile file(path, 0600);
    return file.error() == 0 &&
           write_all(file.fd(), reinterpret_cast<const char*>(bytes.data()), bytes.size()) == 0 &&
           file.commit(false) == 0;
}

std::string valid_thumbnail(const std::string& picture, CacheSize size) {
    const std::string path = cache_thumbnail_path(picture, size);
    const std::optional<FileStatus> status = file_status(picture);
    if (path.empty() || !status || !status->is_regular)
        return {};
    const std::map<std::string, std::string> keys = png_keys(read_head(path));
    const auto uri = keys.find("Thumb::URI");
    const auto mtime = keys.find("Thumb::MTime");
    if (uri == keys.end() || uri->second != file_uri(picture) || mtime == keys.end() ||
        whole_number(mtime->second) != status->mtime_sec)
        return {};
    if (const auto bytes = keys.find("Thumb::Size");
        bytes != keys.end() && whole_number(bytes->second) != status->size)
        return {};
    return path;
}

bool store_thumbnails(const std::string& picture, const CacheThumbnails& thumbnails,
                      const FileStatus* drawn_from) {
    const std::string uri = file_uri(picture);
    const std::string cache = thumbnail_cache_folder();
    const std::optional<FileStatus> status = file_status(picture);
    if (thumbnails.empty() || uri.empty() || cache.empty() || !status || !status->is_regular)
        return false;
    if (drawn_from && version_of(*drawn_from) != version_of(*status))
        return false;
    std::string cache_uri = file_uri(cache);
    if (!cache_uri.ends_with('/'))
        cache_uri += '/';
    if (uri.starts_with(cache_uri))
        return false;
    const std::vector<picture::PngText> keys = {
        {"Thumb::URI", uri},
        {"Thumb::MTime", std::to_string(status->mtime_sec)},
        {"Thumb::Size", std::to_string(status->size)},
        {"Thumb::Image::Width", std::to_string(thumbnails.shown.width)},
        {"Thumb::Image::Height", std::to_string(thumbnails.shown.height)},
    };
    const std::string name = cache_file_name(uri);
    bool stored = true;
    for (const CacheSize size : {CacheSize::Normal, CacheSize::Large}) {
        const std::string folder = cache + folder_of(size);
        const picture::RgbImage& image =
            size == CacheSize::Normal ? thumbnails.normal : thumbnails.large;
        stored = make_private_path(folder) && write_thumbnail(folder + name, image, keys) && stored;
    }
    return stored;
}

} // namespace

std::string file_uri(const std::string& path) {
    if (!path_usable(path))
        return {};
    const GText absolute(g_canonicalize_filename(path.c_str(), nullptr));
    const GText uri(g_filename_to_uri(absolute.get(), nullptr, nullptr));
    return uri ? std::string(uri.get()) : std::string();
}

std::string cache_file_name(const std::string& uri) {
    const GText md5(g_compute_checksum_for_data(
        G_CHECKSUM_MD5, reinterpret_cast<const guchar*>(uri.data()), uri.size()));
    return std::string(md5.get()) + ".png";
}

std::string thumbnail_cache_folder() {
    const std::string cache = xdg_base_folder(XdgBase::Cache);
    return cache.empty() ? cache : cache + "thumbnails/";
}

std::string cache_thumbnail_path(const std::string& picture, CacheSize size) {
    const std::string uri = file_uri(picture);
    const std::string folder = thumbnail_cache_folder();
    if (uri.empty() || folder.empty())
        return {};
    return folder + folder_of(size) + cache_file_name(uri);
}

std::string cached_thumbnail(const std::string& picture, CacheSize size) {
    try {
        return valid_thumbnail(picture, size);
    } catch (...) {
        return {};
    }
}

bool store_cache_thumbnails(const std::string& picture, const CacheThumbnails& thumbnails,
                            const FileStatus* drawn_from) {
    try {
        return store_thumbnails(picture, thumbnails, drawn_from);
    } catch (...) {
        return false;
    }
}

} // namespace orvix
