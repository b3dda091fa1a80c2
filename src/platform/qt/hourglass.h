// The pointer a long operation shows: set while the guard lives, restored on every path.
// Guards nest; the innermost one shows, and the pointer comes back when the outermost ends.
#pragma once

namespace orvix {

enum class Pointer {
    Hourglass, // the operation holds the window
    Busy,      // work goes on behind a window that still answers (a transfer on its worker)
    Arrow,     // a box asks the user something in the middle of either
};

class Hourglass {
public:
    explicit Hourglass(Pointer pointer = Pointer::Hourglass);
    ~Hourglass();
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;
};

} // namespace orvix
