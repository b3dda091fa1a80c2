// The toolbar of the thumbnail grid: every command on the selected pictures, the crop
// window, the grid refilled with each picture's caption, and the toolbar following the
// selection after each command. The work itself is the editing module's.
#include "app/form1.h"

#include "controls/thumbgrid/glimra.h"
#include "editing/cropwindow.h"
#include "editing/edit_commands.h"
#include "platform/dialogs.h"
#include "platform/qt/hourglass.h"
#include "platform/qt/text_codec.h"
#include "text/text.h"

#include <QAction>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <array>
#include <utility>

namespace orvix {

namespace {

// The grid's texts cross as the file system's bytes, as the grid itself takes them.
QString grid_text(const std::string& bytes) {
    return to_qt(bytes);
}

// The grid interface of the editing module over the grid on the window.
class GlimraGrid final : public ThumbnailGrid {
public:
    explicit GlimraGrid(Glimra& grid) : m_grid(grid) {}

    std::string filelist() const override { return m_grid.model().filelist(); }
    void set_filelist(const std::string& text) override { m_grid.setFilelist(grid_text(text)); }
    std::vector<int32_t> selected_items() const override { return m_grid.model().selected_items(); }
    void select_items(const std::vector<int32_t>& items) override {
        m_grid.setSelectedItems(QString::fromStdString(selected_items_text(items)));
    }
    void set_LockScreen(bool lock) override { m_grid.setLockScreen(lock); }
    void set_File_Titlestring(int32_t index, const std::string& text) override {
        m_grid.setFile_Titlestring(index, grid_text(text));
    }
    void set_TitleText(const std::string& text) override { m_grid.setTitleText(grid_text(text)); }
    void refresh() override { m_grid.refresh(); }

private:
    Glimra& m_grid;
};

struct MenuEntry {
    const char* key;
    const char* text_key; // rotate menu: the language key; size menu: the size
};

constexpr std::array<MenuEntry, 5> rotate_entries = {{{"qvd", "tb_rotate90CW"},
                                                      {"cqv", "tb_rotate180CW"},
                                                      {"dcsd", "tb_rotate270CW"},
                                                      {"fliph", "tb_fliph"},
                                                      {"flipv", "tb_flipv"}}};
constexpr std::array<MenuEntry, 6> size_entries = {{{"qcqv", "480"},
                                                    {"scq", "640"},
                                                    {"hc", "800"},
                                                    {"mvq", "1024"},
                                                    {"mdcqv", "1280"},
                                                    {"dmqh", "2048"}}};
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
    for (const auto& [button, menu] : {std::pair{0, m_rotate_menu}, std::pair{2, m_resize_menu}}) {
        m_tb_buttons[size_t(button)]->setMenu(menu);
        if (auto* tool =
                qobject_cast<QToolButton*>(m_tb->widgetForAction(m_tb_buttons[size_t(button)])))
            tool->setPopupMode(QToolButton::MenuButtonPopup);
    }
}

void Form1::traduce_toolbar() {
    m_tb_buttons[0]->setToolTip(qtext_of("tb_rotate"));
    for (size_t i = 0; i < rotate_entries.size(); ++i)
        m_rotate_menu->actions().at(int(i))->setText(qtext_of(rotate_entries[i].text_key));
    m_tb_buttons[1]->setToolTip(qtext_of("tb_crop"));
    m_tb_buttons[2]->setToolTip(qtext_of("tb_resize"));
    const std::string big_axis = text_of("big_axis");
    for (size_t i = 0; i < size_entries.size(); ++i)
        m_resize_menu->actions().at(int(i))->setText(
            to_qt(Remplacer("#1", size_entries[i].text_key, big_axis)));
    m_tb_buttons[4]->setToolTip(qtext_of("tb_delete"));
    m_tb_buttons[6]->setToolTip(qtext_of("send_mail"));
}

void Form1::connect_edit_handlers() {
    m_edit_grid = std::make_unique<GlimraGrid>(*m_tex);
    connect(m_tb, &QToolBar::actionTriggered, this, [this](QAction* action) {
        // Menu entries come through their menu, not as buttons.
        if (std::find(m_tb_buttons.begin(), m_tb_buttons.end(), action) != m_tb_buttons.end())
            tb_ButtonClick(action);
    });
    connect(m_rotate_menu, &QMenu::triggered, this, &Form1::tb_ButtonMenuClick);
    connect(m_resize_menu, &QMenu::triggered, this, &Form1::tb_ButtonMenuClick);
}

EditContext Form1::edit_context() {
    return EditContext{m_state.transferred_pictures,
                       m_state.thumbs_dir,
                       m_state.language,
                       dialogs(),
                       *m_edit_grid,
                       [] { return std::shared_ptr<void>(std::make_shared<Hourglass>()); }};
}

void Form1::fill_thumbnail_grid() {
    EditContext context = edit_context();
    orvix::fill_thumbnail_grid(context);
}

std::string Form1::find_picture_of_item(int item) {
    return orvix::find_picture_of_item(edit_context(), item);
}

std::optional<Rect> Form1::show_crop_window(const std::string& picture) {
    m_state.crop_result.clear();
    cropwindow window(m_state.crop_result, qtext_of("tb_crop"), this);
    window.setpicture(to_qt(picture));
    window.exec();
    return crop_corners_of_result(m_state.crop_result);
}

void Form1::tb_ButtonClick(QAction* button) {
    const QString key = button ? button->data().toString() : QString();
    EditContext context = edit_context();
    if (key == QLatin1String("rotate"))
        transform_selected(context, "qvd");
    else if (key == QLatin1String("crop"))
        crop_selected(context,
                      [this](const std::string& picture) { return show_crop_window(picture); });
    else if (key == QLatin1String("redim"))
        resize_to_typed_size(context);
    else if (key == QLatin1String("delete"))
        delete_selected(context);
    else if (key == QLatin1String("email"))
        tb_email_Click();
    else
        return;
    enable_toolbar();
}

void Form1::tb_ButtonMenuClick(QAction* entry) {
    const std::string key = entry ? entry->data().toString().toStdString() : std::string();
    EditContext context = edit_context();
    const auto size = std::find_if(size_entries.begin(), size_entries.end(),
                                   [&](const MenuEntry& e) { return key == e.key; });
    if (size != size_entries.end()) {
        const int quality = std::clamp(numeric_value(from_qt(m_quality->text())), 0, 32767);
        resize_selected(context, numeric_value(size->text_key), int16_t(quality));
    } else if (transform_code(key) != 0) {
        transform_selected(context, key);
    }
    enable_toolbar();
}

} // namespace orvix
