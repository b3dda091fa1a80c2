// What the window's features share about the pictures of the last transfer: their records,
// the recipe of their thumbnails, and which picture stands behind each item of the grid.
// The transfer makes the records; the edit commands, the mail and the viewer read them.
#pragma once

#include "imaging/imaging.h"
#include "imaging/scaled_copies.h"
#include "thumbcache/thumbcache.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvix {

struct TransferredPicture {
    std::string picture_path;
    std::string thumb_path;
    bool operator==(const TransferredPicture&) const = default;
};

// The grid's thumbnails: 100 pixels wide, the height following the picture, JPEG quality 100,
// standing upright (a JPEG's EXIF orientation applied; a new file holds no tag).
inline constexpr ConvertRequest kThumbnailRequest{
    .crop = {}, .resize = {.width = 100}, .quality = 100, .transform = 0, .upright = true};

// Draws the thumbnail file thumb from pixels, a file of the picture (the picture itself, or
// a copy of it); the imaging result, 0 on success. With FirstWhereFit it comes from a preview
// pixels carries where one fits: only for a file as the camera wrote it, whose previews still
// show its pixels. The desktop's cache is left to make_cache_thumbnails, so a transfer pays
// for one small copy a picture.
int32_t make_grid_thumbnail(const std::string& pixels, const std::string& thumb,
                            Previews previews = Previews::Ignored);

// The same, and from the same decode the desktop's cache thumbnails of pixels, for an edit
// that has just changed the picture. The cache is only a cache: a failure to write it is no
// failure here.
int32_t make_thumbnail(const std::string& pixels, const std::string& thumb);

// Draws and stores the desktop's cache thumbnails of the picture alone; false when it cannot
// be read, or changed while it was read, or the cache cannot be written. Never a failure of
// the caller's: the cache is only a cache.
bool make_cache_thumbnails(const std::string& picture);

// The files of a grid's file list (paths joined by carriage returns), in item order.
std::vector<std::string> grid_items(const std::string& filelist);

// The pictures behind the grid's items. Item n (from 1) shows file n of the grid's list; its
// picture is that of the one record whose thumbnail is that file. A base name may be shared
// by two pictures, a thumbnail's path never, so a thumbnail that two records claim belongs
// to neither and no command reaches a picture that is not the item's own. Built once and
// looked up by a hash, so a command's cost follows the pictures it touches, not the grid.
class PictureMap {
public:
    PictureMap(const std::vector<TransferredPicture>& records, std::vector<std::string> items);

    int32_t item_count() const { return static_cast<int32_t>(m_items.size()); }
    // The file item n shows; "" outside 1 to item_count().
    const std::string& item_file(int32_t item) const;
    // The record of item n; none when no record, or more than one, has its file.
    std::optional<size_t> record_of_item(int32_t item) const;
    // The record whose thumbnail is thumb; none when no record, or more than one, has it.
    std::optional<size_t> record_of_thumbnail(const std::string& thumb) const;

private:
    std::vector<std::string> m_items;
    // By thumbnail path: the record, or none when several records share it.
    std::unordered_map<std::string, std::optional<size_t>> m_by_thumb;
};

// The picture of the record whose thumbnail is thumb_path; "" when no record, or more than
// one, has it. For a single look-up; a command over many items builds a PictureMap.
std::string picture_of_thumbnail(const std::vector<TransferredPicture>& pictures,
                                 const std::string& thumb_path);

} // namespace orvix
