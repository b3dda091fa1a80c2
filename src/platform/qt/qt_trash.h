// The freedesktop trash, as the file managers of the desktop keep it: the home trash in
// $XDG_DATA_HOME/Trash for the volume of the home folder, a $topdir/.Trash/$uid or
// $topdir/.Trash-$uid folder on other volumes.
#pragma once

#include "platform/trash.h"

namespace orvix {

class QtTrash final : public Trash {
public:
    // True when the trash that QFile::moveToTrash would pick for the file can take it: the
    // home trash when the file lies on the home folder's volume and the trash on the same
    // device, else a top-level trash that exists or can be made at the volume's root.
    bool available_for(const std::string& path) override;
    int move_to_trash(const std::string& path) override;
};

} // namespace orvix
