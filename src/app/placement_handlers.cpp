// The main window's place on the screen: restored from the preferences at start, kept
// there at close.
#include "app/form1.h"

#include "app/widgets.h"
#include "app/window_placement.h"

#include <QGuiApplication>
#include <QScreen>

namespace orvix {

namespace {

Rect rect_of(const QRect& box) {
    return Rect::sized(box.x(), box.y(), box.width(), box.height());
}

// The free area of the screen that shows the stored window's middle; the primary screen's
// when none does (a screen unplugged since) or nothing is stored.
Rect available_area(const std::optional<Rect>& stored) {
    QScreen* screen = nullptr;
    if (stored)
        screen = QGuiApplication::screenAt(
            QPoint(stored->left + stored->width() / 2, stored->top + stored->height() / 2));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? rect_of(screen->availableGeometry()) : Rect::sized(0, 0, 1024, 768);
}

} // namespace

void Form1::place_window() {
    const double tpp = twips_per_pixel();
    const StoredPlacement stored = read_placement(m_state.prefs_text);
    const Rect window = placed_window(stored.window, available_area(stored.window), tpp);
    setGeometry(window.left, window.top, window.width(), window.height());
    // The page's width at this size decides how far the splitter may stand.
    arrange_controls();
    const int32_t splitter = placed_splitter(stored.splitter, to_pixels(m_layout.page.width(), tpp),
                                             to_pixels(m_layout.vsplit.width(), tpp),
                                             to_pixels(m_layout.vsplit.left, tpp));
    m_layout.vsplit.move_to(to_twips(splitter, tpp), m_layout.vsplit.top);
    // Shown maximised, the window still knows the size it goes back to.
    if (stored.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void Form1::keep_placement() {
    const bool maximized = isMaximized() || isFullScreen();
    const QRect normal = maximized && normalGeometry().isValid() ? normalGeometry() : geometry();
    write_placement(m_state.prefs_text, {rect_of(normal), maximized,
                                         to_pixels(m_layout.vsplit.left, twips_per_pixel())});
}

} // namespace orvix
