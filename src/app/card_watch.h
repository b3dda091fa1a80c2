// Notices camera cards as they are mounted: between two looks at the mounted volumes, a
// removable volume that appeared and holds a DCIM folder at its root is a new card.
#pragma once

#include "fs/fs.h"

#include <vector>

namespace orvix {

class CardWatch {
public:
    // The volumes mounted now; only cards mounted after this are new.
    explicit CardWatch(std::vector<Volume> mounted);

    // Compares the volumes with those of the previous look; returns the new cards, in the
    // order of the mount table (the most recently mounted last).
    std::vector<Volume> look(std::vector<Volume> mounted);

private:
    std::vector<Volume> m_mounted;
};

// Whether the card is still mounted among the volumes: the same mount at the same place.
bool is_mounted(const Volume& card, const std::vector<Volume>& mounted);

// A DCIM folder in any case at the root of the folder, as cameras write it.
bool holds_dcim(const std::string& folder);

} // namespace orvix
