#include "app/toolbar_state.h"

#include "text/text.h"

namespace orvix {

ToolbarState toolbar_state(const std::string& selected_items) {
    // An empty text is one empty field to the field routines, but no selection here.
    const int count = selected_items.empty() ? 0 : nb_tokens(selected_items, ",");
    return {count > 0, count == 1};
}

} // namespace orvix
