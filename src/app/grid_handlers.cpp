// The thumbnail grid on the main window: filled at the end of each transfer, opening a
// picture on a double click or Enter, the toolbar following its selection, and its keys
// and context menu.
#include "app/form1.h"

#include "app/grid_menu.h"
#include "controls/thumbgrid/glimra.h"
#include "platform/qt/desktop.h"
#include "platform/qt/text_codec.h"
#include "text/text.h"

#include <QFrame>

#include <unordered_map>
#include <unordered_set>

namespace orvix {

namespace {

// Delete, resize and mail act on several pictures at once.
constexpr qint16 kMultipleSelection = 2;

// Each item's tooltip names its picture: the grid's own files are the thumbnails. An item
// whose thumbnail is not the record of exactly one picture keeps the grid's tooltip.
void show_pictures_in_tooltips(Glimra& grid, const std::vector<TransferredPicture>& records) {
    std::unordered_map<std::string, std::string> picture_of;
    std::unordered_set<std::string> shared;
    for (const TransferredPicture& record : records)
        if (!picture_of.emplace(record.thumb_path, record.picture_path).second)
            shared.insert(record.thumb_path);
    for (int32_t item = 1; item <= grid.model().count(); ++item) {
        const std::string& thumb = grid.model().item(item)->Path;
        const auto found = picture_of.find(thumb);
        if (found != picture_of.end() && !shared.contains(thumb))
            grid.setFile_Tooltip(item, to_qt(found->second));
    }
}

} // namespace

void Form1::create_grid() {
    m_tex = new Glimra(m_frame_transfert);
    m_tex->setObjectName(QStringLiteral("tex"));
    m_tex->setSelectionMode(kMultipleSelection);
}

void Form1::connect_grid_handlers() {
    connect(m_tex, &Glimra::DblClick, this, &Form1::tex_DblClick);
    connect(m_tex, &Glimra::MouseUp, this, &Form1::tex_MouseUp);
    connect(m_tex, &Glimra::GlimraDrawingEnd, this, &Form1::tex_GlimraDrawingEnd);
    // A selection made with the keys has no MouseUp: the toolbar follows it here.
    connect(m_tex, &Glimra::SelectionChange, this, &Form1::tex_SelectionChange);
    m_grid_menu =
        new GridMenu(*m_tex, {*m_tb_buttons[0], *m_tb_buttons[1], *m_tb_buttons[2],
                              *m_tb_buttons[4], *m_tb_buttons[6], *m_rotate_menu, *m_resize_menu});
    m_grid_menu->add_command(*m_tb_undo, GridMenu::Place::End);
    // Every list the grid takes is one of thumbnails of the transferred pictures.
    connect(m_tex, &Glimra::GlimraLoadEnd, this,
            [this] { show_pictures_in_tooltips(*m_tex, m_state.transferred_pictures); });
}

void Form1::tex_DblClick(qint32& item) {
    const std::string picture = find_picture_of_item(item);
    if (!picture.empty())
        m_desktop.open_with_shell(this, picture);
}

void Form1::tex_MouseUp(qint16, qint16, float, float) {
    enable_toolbar();
}

void Form1::tex_GlimraDrawingEnd() {
    enable_toolbar();
}

void Form1::tex_SelectionChange() {
    enable_toolbar();
}

} // namespace orvix
