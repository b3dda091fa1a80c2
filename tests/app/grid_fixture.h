// The main window with its grid filled by a transfer from a card folder: clicks on the
// grid's pictures, the toolbar's state and the picture behind each item.
#pragma once

#include "app_fixture.h"

#include "controls/thumbgrid/cell_loader.h"
#include "controls/thumbgrid/glimra.h"
#include "editing/edit_commands.h"
#include "support/images.h"

#include <QAction>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <string>
#include <vector>

namespace orvix::test {

class GridWindowTest : public AppTest {
protected:
    Form1& start_with_card(const std::vector<std::string>& pictures) {
        m_card = m_dir.folder("card");
        m_photos = m_dir.folder("photos");
        for (const std::string& picture : pictures)
            make_picture(m_card + picture, 64, 48);
        Form1& form = start({{"SOURCE_PATH", m_card},
                             {"DEST_PATH", m_photos},
                             {"RENAME_WITH", "NO"},
                             {"SHOW_THUMBS", "1"}});
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
        m_tex = child<Glimra>("tex");
        // The grid puts its first layout off to the next tick of its timer; no waiting here.
        settle();
        m_dialogs.clear();
        return form;
    }

    void settle() {
        QMetaObject::invokeMethod(m_tex->findChild<QTimer*>(QStringLiteral("Timer1")), "timeout");
        EXPECT_TRUE(QTest::qWaitFor(
            [this] {
                return m_tex->loader().in_flight() == 0 &&
                       m_tex->loader().missing_among_first(100) == 0;
            },
            30000)); // a bound against a hang: a loaded machine may take seconds
    }

    // A command on several pictures runs beside the window until it gives the grid back.
    void wait_for_command_end() {
        EXPECT_TRUE(QTest::qWaitFor(
            [this] {
                return m_tex->isEnabled() &&
                       !m_form->findChild<QPushButton*>(QStringLiteral("cancelxfer"))->isVisible();
            },
            60000)); // a bound against a hang: a loaded machine may take seconds
    }

    void transfer() {
        click_transfer_and_wait();
        settle();
    }

    QWidget* fond() const { return m_tex->findChild<QWidget*>(QStringLiteral("fond")); }

    QPoint centre_of(int item) const {
        const QStringList v = m_tex->File_Bounds(item).split(QLatin1Char(','));
        const double tx = m_tex->twips_per_pixel_x(), ty = m_tex->twips_per_pixel_y();
        return {qRound((v[0].toInt() + v[2].toInt()) / 2 / tx),
                qRound((v[1].toInt() + v[3].toInt()) / 2 / ty)};
    }

    // Item i's cell on the canvas, pixels.
    QRect cell_of(int item) const {
        const QStringList v = m_tex->File_BoundsGrid(item).split(QLatin1Char(','));
        const double tx = m_tex->twips_per_pixel_x(), ty = m_tex->twips_per_pixel_y();
        return {QPoint(qRound(v[0].toInt() / tx), qRound(v[1].toInt() / ty)),
                QPoint(qRound(v[2].toInt() / tx) - 1, qRound(v[3].toInt() / ty) - 1)};
    }

    // The pointer over the grid, no button held.
    void hover(QPoint at) {
        QMouseEvent event(QEvent::MouseMove, QPointF(at), fond()->mapToGlobal(QPointF(at)),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(fond(), &event);
    }

    void click(QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseClick(fond(), Qt::LeftButton, modifiers, at);
    }
    // As the desktop delivers one: a click, then the second press as a double click.
    void double_click(QPoint at) {
        click(at);
        QTest::mouseDClick(fond(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(fond(), Qt::LeftButton, Qt::NoModifier, at);
    }

    // Rotate, crop, resize, delete and mail.
    std::vector<bool> toolbar() const {
        std::vector<bool> enabled;
        for (QAction* button : child<QToolBar>("tb")->actions())
            if (!button->isSeparator() && button->objectName() != QLatin1String("undo"))
                enabled.push_back(button->isEnabled());
        return enabled;
    }

    // The picture of grid item i, from the records of the transfer.
    std::string picture_of(int item) const {
        return picture_of_thumbnail(m_form->state().transferred_pictures,
                                    m_tex->File_Path(item).toStdString());
    }

    std::string m_card, m_photos;
    Glimra* m_tex = nullptr;
};

} // namespace orvix::test
