#include "session/pictures.h"

#include "fs/fs.h"
#include "imaging/picture_layer.h"
#include "imaging/scaled_copies.h"
#include "text/text.h"

#include <array>

namespace orvix {

namespace {

const std::string kNoFile;

int32_t write_failure() {
    return picture::last_error() != picture::kNoError ? picture::last_error()
                                                      : picture::kWriteFailed;
}

int32_t write_grid_thumbnail(const picture::RgbImage& image, const std::string& thumb) {
    const std::optional<picture::TargetFormat> format =
        picture::target_format(file_extension(thumb));
    if (!format)
        return kTargetUnsupported;
    picture::PictureTarget target;
    if (!target.open(thumb) ||
        !picture::write_picture(target, image, *format, kThumbnailRequest.quality) ||
        !target.commit())
        return write_failure();
    return 0;
}

constexpr CopySize kGridCopy{.box = kThumbnailRequest.resize, .longest = 0};

int32_t draw_thumbnails(const std::string& pixels, const std::string& thumb) {
    const std::array sizes{kGridCopy, kNormalCacheCopy, kLargeCacheCopy};
    ScaledCopies drawn = scaled_copies(pixels, kThumbnailRequest.upright, sizes);
    if (drawn.result != 0)
        return drawn.result;
    if (const int32_t result = write_grid_thumbnail(drawn.copies[0], thumb))
        return result;
    store_cache_thumbnails(pixels,
                           {std::move(drawn.copies[1]), std::move(drawn.copies[2]), drawn.shown});
    return 0;
}

int32_t draw_grid_thumbnail(const std::string& pixels, const std::string& thumb,
                            Previews previews) {
    const std::array sizes{kGridCopy};
    ScaledCopies drawn = scaled_copies(pixels, kThumbnailRequest.upright, sizes, previews);
    return drawn.result != 0 ? drawn.result : write_grid_thumbnail(drawn.copies[0], thumb);
}

} // namespace

int32_t make_thumbnail(const std::string& pixels, const std::string& thumb) {
    try {
        return draw_thumbnails(pixels, thumb);
    } catch (...) {
        return kRuntimeFailure;
    }
}

int32_t make_grid_thumbnail(const std::string& pixels, const std::string& thumb,
                            Previews previews) {
    try {
        return draw_grid_thumbnail(pixels, thumb, previews);
    } catch (...) {
        return kRuntimeFailure;
    }
}

bool make_cache_thumbnails(const std::string& picture) {
    try {
        const std::optional<FileStatus> before = file_status(picture);
        if (!before || !before->is_regular)
            return false;
        const std::array sizes{kNormalCacheCopy, kLargeCacheCopy};
        ScaledCopies drawn = scaled_copies(picture, kThumbnailRequest.upright, sizes);
        return drawn.result == 0 &&
               store_cache_thumbnails(
                   picture, {std::move(drawn.copies[0]), std::move(drawn.copies[1]), drawn.shown},
                   &*before);
    } catch (...) {
        return false;
    }
}

std::vector<std::string> grid_items(const std::string& filelist) {
    if (filelist.empty())
        return {};
    return split(filelist, std::string(1, CR));
}

PictureMap::PictureMap(const std::vector<TransferredPicture>& records,
                       std::vector<std::string> items)
    : m_items(std::move(items)) {
    m_by_thumb.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const auto [it, inserted] = m_by_thumb.try_emplace(records[i].thumb_path, i);
        if (!inserted)
            it->second.reset();
    }
}

const std::string& PictureMap::item_file(int32_t item) const {
    if (item < 1 || item > item_count())
        return kNoFile;
    return m_items[static_cast<size_t>(item - 1)];
}

std::optional<size_t> PictureMap::record_of_item(int32_t item) const {
    const std::string& file = item_file(item);
    if (file.empty())
        return std::nullopt;
    return record_of_thumbnail(file);
}

std::optional<size_t> PictureMap::record_of_thumbnail(const std::string& thumb) const {
    const auto it = m_by_thumb.find(thumb);
    return it == m_by_thumb.end() ? std::nullopt : it->second;
}

std::string picture_of_thumbnail(const std::vector<TransferredPicture>& pictures,
                                 const std::string& thumb_path) {
    const TransferredPicture* found = nullptr;
    for (const TransferredPicture& picture : pictures) {
        if (picture.thumb_path != thumb_path)
            continue;
        if (found)
            return "";
        found = &picture;
    }
    return found ? found->picture_path : "";
}

} // namespace orvix
