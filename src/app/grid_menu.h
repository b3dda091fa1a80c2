// The grid's commands by keyboard and in its context menu. They are the toolbar's own
// actions, so a shortcut, a menu entry and a button do one and the same thing, and each
// is enabled exactly when its button is. The shortcuts act while the grid (or the
// toolbar) has the keyboard, so a text box keeps its own keys.
#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>

class QAction;
class QMenu;

namespace orvix {

class Glimra;
class LanguageTable;

inline constexpr QKeyCombination kTurnRightKeys = Qt::CTRL | Qt::Key_R;
inline constexpr QKeyCombination kTurnLeftKeys = Qt::CTRL | Qt::SHIFT | Qt::Key_R;
inline constexpr QKeyCombination kCropKeys = Qt::CTRL | Qt::Key_E;
inline constexpr QKeyCombination kDeleteKeys{Qt::Key_Delete};
inline constexpr QKeyCombination kMailKeys = Qt::CTRL | Qt::Key_M;

// A tooltip that names the command's shortcut: "text (keys)", the keys as the desktop
// writes them.
QString with_keys(const QString& text, QKeyCombination keys);

// Lives as long as the grid it serves.
class GridMenu : public QObject {
public:
    // The toolbar's actions, as the window holds them.
    struct Toolbar {
        QAction& rotate;
        QAction& crop;
        QAction& resize;
        QAction& remove;
        QAction& mail;
        QMenu& rotate_menu;
        QMenu& resize_menu;
    };
    GridMenu(Glimra& grid, const Toolbar& toolbar);

    // Adds a command of the toolbar to the menu, at its top or at its end, set apart from
    // the others by a separator.
    enum class Place { Top, End };
    void add_command(QAction& action, Place place);

    // The entries' texts in the window's language.
    void traduce(const LanguageTable& language);

    QMenu& menu() { return *m_menu; }

private:
    // The shortcut acts while the grid or the toolbar has the keyboard.
    void give_keys(QAction& action, QKeyCombination keys);

    Glimra& m_grid;
    Toolbar m_toolbar;
    QMenu* m_menu = nullptr;         // tex_menu, owned by the grid
    QMenu* m_sizes = nullptr;        // the resize entry's own menu
    QAction* m_other_size = nullptr; // the resize button's own command: a typed size
};

} // namespace orvix
