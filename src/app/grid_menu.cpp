#include "app/grid_menu.h"

#include "app/grid_commands.h"
#include "controls/thumbgrid/glimra.h"
#include "platform/qt/text_codec.h"
#include "settings/language.h"

#include <QAction>
#include <QMenu>

namespace orvix {

namespace {

QAction* rotate_entry(QMenu& menu, const char* key) {
    for (QAction* action : menu.actions())
        if (action->data().toString() == QLatin1String(key))
            return action;
    return nullptr;
}

// The action is enabled whenever the button is.
void follow(QAction& button, QAction& action) {
    action.setEnabled(button.isEnabled());
    QObject::connect(&button, &QAction::enabledChanged, &action, &QAction::setEnabled);
}

} // namespace

QString with_keys(const QString& text, QKeyCombination keys) {
    return QStringLiteral("%1 (%2)").arg(text,
                                         QKeySequence(keys).toString(QKeySequence::NativeText));
}

GridMenu::GridMenu(Glimra& grid, const Toolbar& toolbar)
    : QObject(&grid), m_grid(grid), m_toolbar(toolbar) {
    m_menu = new QMenu(&grid);
    m_menu->setObjectName(QStringLiteral("tex_menu"));

    // The turns first, the two quarter turns with their keys; then the rest of the
    // rotate menu.
    const std::pair<const char*, QKeyCombination> turns[] = {{"qvd", kTurnRightKeys},
                                                             {"dcsd", kTurnLeftKeys}};
    for (const auto& [key, keys] : turns)
        if (QAction* entry = rotate_entry(toolbar.rotate_menu, key)) {
            give_keys(*entry, keys);
            follow(toolbar.rotate, *entry);
            m_menu->addAction(entry);
        }
    for (const MenuEntry& turn : rotate_entries)
        if (QAction* entry = rotate_entry(toolbar.rotate_menu, turn.key);
            entry && entry->shortcut().isEmpty()) {
            follow(toolbar.rotate, *entry);
            m_menu->addAction(entry);
        }
    m_menu->addSeparator();

    give_keys(toolbar.crop, kCropKeys);
    m_menu->addAction(&toolbar.crop);
    // The resize button asks for a size; its menu gives the usual ones.
    m_sizes = m_menu->addMenu(QString());
    m_sizes->setObjectName(QStringLiteral("tex_resize_menu"));
    m_other_size = m_sizes->addAction(QString());
    connect(m_other_size, &QAction::triggered, &toolbar.resize, &QAction::trigger);
    m_sizes->addSeparator();
    m_sizes->addActions(toolbar.resize_menu.actions());
    m_sizes->setEnabled(toolbar.resize.isEnabled());
    connect(&toolbar.resize, &QAction::enabledChanged, m_sizes, &QMenu::setEnabled);
    m_menu->addSeparator();

    give_keys(toolbar.remove, kDeleteKeys);
    m_menu->addAction(&toolbar.remove);
    give_keys(toolbar.mail, kMailKeys);
    m_menu->addAction(&toolbar.mail);

    grid.set_context_menu(m_menu);
}

void GridMenu::give_keys(QAction& action, QKeyCombination keys) {
    action.setShortcut(keys);
    action.setShortcutContext(Qt::WidgetWithChildrenShortcut);
    action.setShortcutVisibleInContextMenu(true);
    m_grid.addAction(&action);
}

void GridMenu::add_command(QAction& action, Place place) {
    if (m_menu->actions().isEmpty()) {
        m_menu->addAction(&action);
        return;
    }
    if (place == Place::End) {
        m_menu->addSeparator();
        m_menu->addAction(&action);
        return;
    }
    QAction* first = m_menu->actions().constFirst();
    m_menu->insertAction(first, &action);
    m_menu->insertSeparator(first);
}

void GridMenu::traduce(const LanguageTable& language) {
    const auto text = [&language](const char* key) { return to_qt(language.translate(key)); };
    m_toolbar.crop.setText(text("tb_crop"));
    m_sizes->setTitle(text("tb_resize"));
    m_other_size->setText(text("resize_other"));
    m_toolbar.remove.setText(text("tb_delete"));
    m_toolbar.mail.setText(text("send_mail"));
}

} // namespace orvix
