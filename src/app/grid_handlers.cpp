// The thumbnail grid on the main window: filled at the end of each transfer, opening a
// picture on a double click, and the toolbar following its selection.
#include "app/form1.h"

#include "app/grid_captions.h"
#include "controls/thumbgrid/glimra.h"
#include "platform/qt/desktop.h"
#include "text/text.h"

#include <QFile>
#include <QFrame>

namespace orvix {

namespace {

// Delete, resize and mail act on several pictures at once.
constexpr qint16 kMultipleSelection = 2;

QString path_text(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
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
}

void Form1::fill_thumbnail_grid() {
    const std::vector<TransferredPicture>& pictures = m_state.transferred_pictures;
    m_tex->setLockScreen(true);
    std::vector<std::string> thumbs;
    thumbs.reserve(pictures.size());
    for (const TransferredPicture& picture : pictures)
        thumbs.push_back(picture.thumb_path);
    m_tex->setFilelist(path_text(join(thumbs, std::string(1, CR))));
    // Each item takes the caption of its own picture: a thumbnail the grid could not find
    // is left out and the items after it move up.
    const int count = m_tex->model().count();
    for (int item = 1; item <= count; ++item) {
        const std::string picture = picture_of_thumbnail(pictures, m_tex->model().File_Path(item));
        if (!picture.empty())
            m_tex->setFile_Titlestring(item, path_text(thumbnail_caption(picture)));
    }
    m_tex->setTitleText(QStringLiteral("#CUSTOM#"));
    m_tex->setLockScreen(false);
    m_tex->refresh();
}

std::string Form1::find_picture_of_item(int item) const {
    return picture_of_thumbnail(m_state.transferred_pictures, m_tex->model().File_Path(item));
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

} // namespace orvix
