// The desktop's trash, behind a small interface so that the edit commands stay free of Qt
// and tests can give a volume without one.
#pragma once

#include <string>

namespace orvix {

class Trash {
public:
    virtual ~Trash() = default;
    // Whether the volume that holds the file has a trash it can be moved to.
    virtual bool available_for(const std::string& path) = 0;
    // Moves the file to the trash: 0, or the errno of the failure (the file stays).
    virtual int move_to_trash(const std::string& path) = 0;
};

} // namespace orvix
