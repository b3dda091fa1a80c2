// Which commands of the grid's toolbar the selection allows.
#pragma once

#include <cstdint>
#include <vector>

namespace orvix {

struct ToolbarState {
    bool many = false; // rotate, resize, delete and mail: any selection
    bool crop = false; // one picture exactly
};

// From the grid's selected item numbers.
ToolbarState toolbar_state(const std::vector<int32_t>& selected_items);

} // namespace orvix
