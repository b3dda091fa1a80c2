#include "platform/qt/system_colours.h"

#include <array>

namespace orvix {

namespace {

struct SystemRole {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The palette colour standing in for each system colour index; index 25 names none.
std::optional<SystemRole> system_role(int index) {
    using P = QPalette;
    static const std::array<std::optional<SystemRole>, 31> roles{{
        SystemRole{P::Active, P::Button},          // 0 scroll bar
        SystemRole{P::Active, P::Dark},            // 1 desktop
        SystemRole{P::Active, P::Highlight},       // 2 active caption
        SystemRole{P::Inactive, P::Highlight},     // 3 inactive caption
        SystemRole{P::Active, P::Window},          // 4 menu
        SystemRole{P::Active, P::Base},            // 5 window
        SystemRole{P::Active, P::Shadow},          // 6 window frame
        SystemRole{P::Active, P::WindowText},      // 7 menu text
        SystemRole{P::Active, P::Text},            // 8 window text
        SystemRole{P::Active, P::HighlightedText}, // 9 caption text
        SystemRole{P::Active, P::Button},          // 10 active border
        SystemRole{P::Inactive, P::Button},        // 11 inactive border
        SystemRole{P::Active, P::Dark},            // 12 application workspace
        SystemRole{P::Active, P::Highlight},       // 13 highlight
        SystemRole{P::Active, P::HighlightedText}, // 14 highlight text
        SystemRole{P::Active, P::Button},          // 15 button face
        SystemRole{P::Active, P::Dark},            // 16 button shadow
        SystemRole{P::Disabled, P::Text},          // 17 grey text
        SystemRole{P::Active, P::ButtonText},      // 18 button text
        SystemRole{P::Inactive, P::WindowText},    // 19 inactive caption text
        SystemRole{P::Active, P::Light},           // 20 button highlight
        SystemRole{P::Active, P::Shadow},          // 21 3D dark shadow
        SystemRole{P::Active, P::Midlight},        // 22 3D light
        SystemRole{P::Active, P::ToolTipText},     // 23 tooltip text
        SystemRole{P::Active, P::ToolTipBase},     // 24 tooltip background
        std::nullopt,                              // 25
        SystemRole{P::Active, P::Link},            // 26 hot-tracked item
        SystemRole{P::Active, P::Highlight},       // 27 active caption gradient
        SystemRole{P::Inactive, P::Highlight},     // 28 inactive caption gradient
        SystemRole{P::Active, P::Highlight},       // 29 menu highlight
        SystemRole{P::Active, P::Window},          // 30 menu bar
    }};
    if (index < 0 || index >= static_cast<int>(roles.size()))
        return std::nullopt;
    return roles[static_cast<size_t>(index)];
}

} // namespace

std::optional<QColor> system_colour(int index, const QPalette& palette) {
    const std::optional<SystemRole> role = system_role(index);
    if (!role)
        return std::nullopt;
    return palette.color(role->group, role->role);
}

qint32 translate_colour(quint32 colour, const QPalette& palette) {
    return translate_colour(colour, [&palette](int index) -> std::optional<std::int32_t> {
        const std::optional<QColor> c = system_colour(index, palette);
        if (!c)
            return std::nullopt;
        return rgb(c->red(), c->green(), c->blue());
    });
}

QColor to_qcolor(qint32 colour) {
    int r = 0;
    int g = 0;
    int b = 0;
    split_rgb(colour, r, g, b);
    return QColor(r, g, b);
}

} // namespace orvix
