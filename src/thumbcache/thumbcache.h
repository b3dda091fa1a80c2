// The desktop's shared thumbnail cache, where file managers and viewers look for a picture's
// thumbnail before they draw one: $XDG_CACHE_HOME/thumbnails/{normal,large}/, one PNG a
// picture named by the MD5 of its file URI, keyed with that URI and the picture's
// modification time so that a changed picture's thumbnail is known to be stale.
#pragma once

#include "fs/fs.h"
#include "imaging/picture_layer.h"
#include "imaging/scaled_copies.h"

#include <string>

namespace orvix {

// The cache's two sizes, by the longest side of their thumbnails.
enum class CacheSize { Normal = 128, Large = 256 };

// The copies scaled_copies draws for the cache: the longest side at most 128 and 256 pixels,
// the proportions kept, never enlarged.
inline constexpr CopySize kNormalCacheCopy{.box = {}, .longest = int(CacheSize::Normal)};
inline constexpr CopySize kLargeCacheCopy{.box = {}, .longest = int(CacheSize::Large)};

// The file URI of a path as the desktop names the file: "file://" and the absolute path
// ("." and ".." folded, a relative path taken from the working folder), its bytes outside
// the letters, digits and -._~!$&'()*+,=:@/ escaped as %XX. "" for a path naming nothing.
std::string file_uri(const std::string& path);

// The cache's file name for a URI: the lower-case hex MD5 of the URI, and ".png".
std::string cache_file_name(const std::string& uri);

// $XDG_CACHE_HOME/thumbnails/, else ~/.cache/thumbnails/; "" without a home folder.
std::string thumbnail_cache_folder();

// Where the picture's thumbnail of that size lies in the cache, valid or not; "" when the
// picture or the cache cannot be named.
std::string cache_thumbnail_path(const std::string& picture, CacheSize size);

// The picture's cached thumbnail of that size when it stands for the picture as it is now:
// its Thumb::URI names the picture, its Thumb::MTime is the picture's modification time in
// whole seconds and its Thumb::Size, when it has one, the picture's size in bytes. "" when
// there is none, it is stale, or it cannot be read.
std::string cached_thumbnail(const std::string& picture, CacheSize size);

// A picture's two cache thumbnails, drawn and not yet written.
struct CacheThumbnails {
    picture::RgbImage normal;
    picture::RgbImage large;
    // The picture's own size as shown.
    picture::PictureSize shown;
    bool empty() const { return normal.empty() || large.empty(); }
};

// Writes both thumbnails of the picture, keyed with its URI and its modification time and
// size as they stand now: each to a temporary file beside its final name, renamed into place,
// mode 0600 in folders made 0700. False when either could not be written or the picture
// cannot be read; the cache is never made to thumbnail its own files. With drawn_from, the
// picture's status when its pixels were read, nothing is stored once the picture has changed
// since: the old pixels keyed with the new time would pass for its thumbnail.
bool store_cache_thumbnails(const std::string& picture, const CacheThumbnails& thumbnails,
                            const FileStatus* drawn_from = nullptr);

} // namespace orvix
