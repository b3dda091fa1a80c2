#include "app/card_watch.h"

#include "text/text.h"

#include <algorithm>

namespace orvix {

CardWatch::CardWatch(std::vector<Volume> mounted) : m_mounted(std::move(mounted)) {}

std::vector<Volume> CardWatch::look(std::vector<Volume> mounted) {
    std::vector<Volume> cards;
    for (const Volume& volume : mounted) {
        if (volume.type == "Removable Drive" && !is_mounted(volume, m_mounted) &&
            holds_dcim(volume.mount_point))
            cards.push_back(volume);
    }
    m_mounted = std::move(mounted);
    return cards;
}

bool is_mounted(const Volume& card, const std::vector<Volume>& mounted) {
    return std::any_of(mounted.begin(), mounted.end(), [&card](const Volume& volume) {
        return volume.mount_id == card.mount_id && volume.mount_point == card.mount_point;
    });
}

bool holds_dcim(const std::string& folder) {
    std::vector<std::string> folders;
    list_files(folder, folders, "folders", false);
    return std::any_of(folders.begin(), folders.end(), [](const std::string& path) {
        return to_lower(file_name(path, true)) == "dcim";
    });
}

} // namespace orvix
