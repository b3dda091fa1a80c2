// The thumbnail grid on the main window: filled at the end of each transfer, opening a
// picture on a double click, and the toolbar following its selection.
#include "app/form1.h"

#include "controls/thumbgrid/glimra.h"
#include "platform/qt/desktop.h"
#include "platform/qt/text_codec.h"
#include "text/text.h"

#include <QFrame>

namespace orvix {

namespace {

// Delete, resize and mail act on several pictures at once.
constexpr qint16 kMultipleSelection = 2;

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
