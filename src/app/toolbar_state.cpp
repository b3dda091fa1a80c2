#include "app/toolbar_state.h"

namespace orvix {

ToolbarState toolbar_state(const std::vector<int32_t>& selected_items, bool undo_kept) {
    return {!selected_items.empty(), selected_items.size() == 1, undo_kept};
}

} // namespace orvix
