#include "app/grid_captions.h"

#include "fs/fs.h"
#include "imaging/imaging.h"
#include "text/text.h"

#include <algorithm>

namespace orvix {

std::string thumbnail_caption(const std::string& picture_path) {
    const int64_t length = std::max<int64_t>(file_length(picture_path), 0);
    const int kilobytes = to_int(static_cast<double>(length) / 1024);
    return file_name(picture_path, true) + std::string(CRLF) + "(" +
           Remplacer(",", " x ", get_image_size(picture_path)) + ")" + std::string(CRLF) +
           std::to_string(kilobytes) + " Kb";
}

std::string picture_of_thumbnail(const std::vector<TransferredPicture>& pictures,
                                 const std::string& thumb_path) {
    std::string found;
    int matches = 0;
    for (const TransferredPicture& picture : pictures) {
        if (picture.thumb_path == thumb_path) {
            found = picture.picture_path;
            ++matches;
        }
    }
    return matches == 1 ? found : "";
}

} // namespace orvix
