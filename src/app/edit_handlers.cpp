// The toolbar of the thumbnail grid: its buttons and menus, their texts, and the handlers
// that hand each command to the grid commands (app/grid_commands.h).
#include "app/form1.h"

#include "app/grid_commands.h"
#include "app/grid_menu.h"
#include "app/setup_page.h"
#include "app/transfer_panel.h"
#include "controls/progress/vumbar.h"
#include "controls/thumbgrid/glimra.h"
#include "platform/qt/desktop.h"
#include "platform/qt/text_codec.h"
#include "text/text.h"

#include <QAction>
#include <QFrame>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <array>
#include <utility>

namespace orvix {

namespace {

// Keys of buttons 1 to 7; 4 and 6 are separators.
constexpr std::array<const char*, 7> button_keys = {"rotate", "crop", "redim", "",
                                                    "delete", "",     "email"};

} // namespace

void Form1::create_toolbar() {
    m_tb = new QToolBar(m_frame_transfert);
    m_tb->setObjectName(QStringLiteral("tb"));
    m_tb->setIconSize(QSize(24, 24));
    m_rotate_menu = new QMenu(m_tb);
    m_rotate_menu->setObjectName(QStringLiteral("tb_rotate_menu"));
    for (const MenuEntry& entry : rotate_entries)
        m_rotate_menu->addAction(QString())->setData(QString::fromLatin1(entry.key));
    m_resize_menu = new QMenu(m_tb);
    m_resize_menu->setObjectName(QStringLiteral("tb_resize_menu"));
    for (const MenuEntry& entry : size_entries)
        m_resize_menu->addAction(QString())->setData(QString::fromLatin1(entry.key));

    for (size_t i = 0; i < button_keys.size(); ++i) {
        if (*button_keys[i] == '\0') {
            m_tb_buttons[i] = m_tb->addSeparator();
            continue;
        }
        QAction* action = m_tb->addAction(QString());
        action->setObjectName(QStringLiteral("tb_button%1").arg(i + 1));
        action->setData(QString::fromLatin1(button_keys[i]));
        m_tb_buttons[i] = action;
    }
    m_tb->addSeparator();
    m_tb_undo = m_tb->addAction(QString());
    m_tb_undo->setObjectName(QStringLiteral("undo"));
    m_tb_undo->setData(QStringLiteral("undo"));
    // Ctrl+Z anywhere in the window but in a text box, which takes back its own typing.
    m_tb_undo->setShortcut(QKeySequence::Undo);
    m_tb_undo->setShortcutContext(Qt::WindowShortcut);
    for (const auto& [button, menu] : {std::pair{0, m_rotate_menu}, std::pair{2, m_resize_menu}}) {
        m_tb_buttons[size_t(button)]->setMenu(menu);
        if (auto* tool =
                qobject_cast<QToolButton*>(m_tb->widgetForAction(m_tb_buttons[size_t(button)])))
            tool->setPopupMode(QToolButton::MenuButtonPopup);
    }
}

void Form1::traduce_toolbar() {
    m_tb_buttons[0]->setToolTip(with_keys(qtext_of("tb_rotate"), kTurnRightKeys));
    for (size_t i = 0; i < rotate_entries.size(); ++i)
        m_rotate_menu->actions().at(int(i))->setText(qtext_of(rotate_entries[i].text_key));
    m_tb_buttons[1]->setToolTip(with_keys(qtext_of("tb_crop"), kCropKeys));
    m_tb_buttons[2]->setToolTip(qtext_of("tb_resize"));
    const std::string big_axis = text_of("big_axis");
    for (size_t i = 0; i < size_entries.size(); ++i)
        m_resize_menu->actions().at(int(i))->setText(
            to_qt(Remplacer("#1", size_entries[i].text_key, big_axis)));
    m_tb_buttons[4]->setToolTip(with_keys(qtext_of("tb_delete"), kDeleteKeys));
    m_tb_buttons[6]->setToolTip(with_keys(qtext_of("send_mail"), kMailKeys));
    m_grid_menu->traduce(m_state.language);
    m_tb_undo->setText(qtext_of("tb_undo"));
    m_tb_undo->setToolTip(qtext_of("tb_undo") + QStringLiteral(" (") +
                          m_tb_undo->shortcut().toString(QKeySequence::NativeText) +
                          QLatin1Char(')'));
}

void Form1::connect_edit_handlers() {
    m_grid_commands = std::make_unique<GridCommands>(
        m_state,
        GridCommands::Controls{
            *this, *m_tex, *m_quality, m_transfer->bar(), m_transfer->stop_button(),
            std::vector<QWidget*>{m_tex, &m_transfer->transfer_button(), &m_setup->page()},
            [this] {
                std::vector<QAction*> buttons(m_tb_buttons.begin(), m_tb_buttons.end());
                buttons.push_back(m_tb_undo);
                return buttons;
            }()},
        m_desktop.trash(), [this] { tb_email_Click(); },
        [this] {
            enable_toolbar();
            if (std::exchange(m_close_when_commands_end, false))
                close();
        });
    connect(m_tb, &QToolBar::actionTriggered, this, [this](QAction* action) {
        // Menu entries come through their menu, not as buttons.
        if (std::find(m_tb_buttons.begin(), m_tb_buttons.end(), action) != m_tb_buttons.end())
            tb_ButtonClick(action);
    });
    connect(m_tb_undo, &QAction::triggered, this, &Form1::tb_undo_Click);
    connect(m_rotate_menu, &QMenu::triggered, this, &Form1::tb_ButtonMenuClick);
    connect(m_resize_menu, &QMenu::triggered, this, &Form1::tb_ButtonMenuClick);
}

void Form1::fill_thumbnail_grid() {
    m_grid_commands->fill_thumbnail_grid();
}

std::string Form1::find_picture_of_item(int item) {
    return m_grid_commands->find_picture_of_item(item);
}

void Form1::tb_ButtonClick(QAction* button) {
    m_grid_commands->button_clicked(button ? button->data().toString().toStdString() : "");
}

void Form1::tb_ButtonMenuClick(QAction* entry) {
    m_grid_commands->menu_clicked(entry ? entry->data().toString().toStdString() : "");
}

void Form1::tb_undo_Click() {
    m_grid_commands->undo_Click();
}

} // namespace orvix
