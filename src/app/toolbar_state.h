// Which commands of the grid's toolbar the selection allows.
#pragma once

#include <cstdint>
#include <vector>

namespace orvix {

struct ToolbarState {
    bool many = false; // rotate, resize, delete and mail: any selection
    bool crop = false; // one picture exactly
    bool undo = false; // the last command can be taken back, whatever the selection
};

// From the grid's selected item numbers, and whether the last command's pictures are kept
// for undo (none while a command runs).
ToolbarState toolbar_state(const std::vector<int32_t>& selected_items, bool undo_kept);

} // namespace orvix
