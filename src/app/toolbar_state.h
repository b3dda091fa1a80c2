// Which commands of the grid's toolbar the selection allows.
#pragma once

#include <string>

namespace orvix {

struct ToolbarState {
    bool many = false; // rotate, resize, delete and mail: any selection
    bool crop = false; // one picture exactly
};

// From the grid's SelectedItems: item numbers joined by commas, empty when nothing is
// selected.
ToolbarState toolbar_state(const std::string& selected_items);

} // namespace orvix
