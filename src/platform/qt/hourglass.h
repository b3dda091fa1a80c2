// The busy pointer for a long operation: set while the guard lives, restored on every path.
// Guards nest; the pointer comes back when the outermost one ends.
#pragma once

namespace orvix {

class Hourglass {
public:
    Hourglass();
    ~Hourglass();
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;
};

} // namespace orvix
