// The grid on the main window by keyboard, as a user drives it after a transfer: the keys
// move the selection, the toolbar follows, the commands' shortcuts act on the pictures on
// disk, and the context menu carries the toolbar's commands.
#include "grid_fixture.h"

#include "editing/cropwindow.h"
#include "fs/fs.h"
#include "imaging/imaging.h"
#include "mail/mailform.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

namespace orvix::test {
namespace {

class GridKeysTest : public GridWindowTest {
protected:
    void SetUp() override {
        start_with_card({"IMG_1.jpg", "IMG_2.jpg", "IMG_3.jpg", "IMG_4.jpg"});
        transfer();
        m_dialogs.clear();
        m_form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_form.get()));
    }
    // A key as the user presses it: to whatever has the keyboard. The offscreen desktop
    // does not give the window back its activation when a window over it closes.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        if (!m_form->isActiveWindow()) {
            m_form->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(m_form.get()));
        }
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, key, modifiers);
    }
    std::string size_of(int item) const { return get_image_size(picture_of(item)); }
    QMenu* context_menu() const {
        return m_tex->findChild<QMenu*>(QStringLiteral("tex_menu"), Qt::FindDirectChildrenOnly);
    }
    // A right click on item i: the menu opens there.
    QMenu* right_click(int item) {
        const QPoint at = centre_of(item);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, fond()->mapToGlobal(at));
        QCoreApplication::sendEvent(fond(), &event);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    }
    // The menu's entries that are commands, by their text, with their state.
    std::vector<std::pair<QString, bool>> entries(const QMenu& menu) const {
        std::vector<std::pair<QString, bool>> found;
        for (QAction* action : menu.actions())
            if (!action->isSeparator())
                found.emplace_back(action->text(), action->isEnabled());
        return found;
    }
    QAction* entry(const QMenu& menu, const QString& text) const {
        for (QAction* action : menu.actions())
            if (action->text() == text)
                return action;
        ADD_FAILURE() << text.toStdString();
        return nullptr;
    }
    QString text(const char* key) const {
        return QString::fromStdString(m_form->state().language.translate(key));
    }
};

TEST_F(GridKeysTest, ArrowsMoveThroughTheGridNotTheWindowsTabs) {
    auto* tabs = child<QTabWidget>("tabstrip");
    click(centre_of(1));
    EXPECT_TRUE(m_tex->hasFocus());
    press(Qt::Key_Right);
    EXPECT_EQ(tabs->currentIndex(), 0) << "still on the transfer page";
    EXPECT_EQ(m_tex->SelectedItems(), "2");
    press(Qt::Key_End);
    EXPECT_EQ(m_tex->SelectedItems(), "4");
    press(Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(m_tex->SelectedItems(), "1,2,3,4");
    EXPECT_EQ(tabs->currentIndex(), 0);
}

TEST_F(GridKeysTest, TabGivesTheGridTheKeyboard) {
    child<QTabWidget>("tabstrip")->tabBar()->setFocus();
    for (int i = 0; i < 20 && !m_tex->hasFocus(); ++i)
        press(Qt::Key_Tab);
    ASSERT_TRUE(m_tex->hasFocus());
    press(Qt::Key_Right);
    EXPECT_EQ(m_tex->SelectedItems(), "1") << "the first arrow takes the first picture";
}

TEST_F(GridKeysTest, TheToolbarFollowsTheKeyboardSelection) {
    click(centre_of(1));
    press(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(m_tex->SelectedItems(), "1,2");
    EXPECT_EQ(toolbar(), (std::vector<bool>{true, false, true, true, true}));
    press(Qt::Key_Escape);
    EXPECT_EQ(toolbar(), (std::vector<bool>{false, false, false, false, false}));
    press(Qt::Key_Space);
    EXPECT_EQ(m_tex->SelectedItems(), "2");
    EXPECT_EQ(toolbar(), (std::vector<bool>{true, true, true, true, true}));
    press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(toolbar(), (std::vector<bool>{true, false, true, true, true}));
}

TEST_F(GridKeysTest, CtrlRTurnsTheSelectedPicturesAndCtrlShiftRTurnsThemBack) {
    click(centre_of(2));
    press(Qt::Key_Right, Qt::ShiftModifier);
    press(Qt::Key_R, Qt::ControlModifier);
    wait_for_command_end();
    settle();
    EXPECT_EQ(size_of(2), "48,64");
    EXPECT_EQ(size_of(3), "48,64");
    EXPECT_EQ(size_of(1), "64,48") << "not selected";
    EXPECT_EQ(m_tex->SelectedItems(), "2,3");
    const std::string turned = read_file(picture_of(2));
    press(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    wait_for_command_end();
    settle();
    EXPECT_EQ(size_of(2), "64,48");
    EXPECT_EQ(size_of(3), "64,48");
    EXPECT_NE(read_file(picture_of(2)), turned);
    press(Qt::Key_Right);
    EXPECT_EQ(m_tex->SelectedItems(), "4") << "the keys go on from where they were";
}

TEST_F(GridKeysTest, CommandKeysDoNothingWithoutASelection) {
    click(centre_of(1));
    press(Qt::Key_Escape);
    const std::string before = read_file(picture_of(1));
    press(Qt::Key_R, Qt::ControlModifier);
    press(Qt::Key_Delete);
    EXPECT_EQ(read_file(picture_of(1)), before);
    EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(GridKeysTest, EnterOpensTheCurrentPicture) {
    click(centre_of(3));
    press(Qt::Key_Left, Qt::ControlModifier);
    press(Qt::Key_Return);
    ASSERT_EQ(m_desktop.opened.size(), 1u);
    EXPECT_EQ(m_desktop.opened.back(), picture_of(2));
}

TEST_F(GridKeysTest, DeleteAsksAboutTheSelectionFirst) {
    const std::string first = picture_of(1), second = picture_of(2);
    click(centre_of(1));
    press(Qt::Key_Right, Qt::ShiftModifier);
    m_dialogs.queue_answer(Answer::No);
    press(Qt::Key_Delete);
    wait_for_command_end();
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].buttons, Buttons::YesNo);
    EXPECT_TRUE(file_exists(first));
    m_dialogs.queue_answer(Answer::Yes);
    press(Qt::Key_Delete);
    wait_for_command_end();
    settle();
    EXPECT_FALSE(file_exists(first));
    EXPECT_FALSE(file_exists(second));
    EXPECT_EQ(m_tex->model().count(), 2);
}

TEST_F(GridKeysTest, CtrlEOpensTheCropWindowAndCtrlMTheMailWindow) {
    click(centre_of(2));
    QString opened;
    // Closes whichever window the key opened, once it is up.
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        QWidget* window = QApplication::activeModalWidget();
        if (qobject_cast<cropwindow*>(window))
            opened = QStringLiteral("crop");
        else if (qobject_cast<mailform*>(window))
            opened = QStringLiteral("mail");
        if (window)
            window->close();
    });
    closer.start();
    press(Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(opened, "crop");
    press(Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(opened, "mail");
}

TEST_F(GridKeysTest, TheShortcutsShowInTheTooltipsAndTheMenus) {
    const auto keys = [](QKeyCombination combination) {
        return QKeySequence(combination).toString(QKeySequence::NativeText);
    };
    const QList<QAction*> buttons = child<QToolBar>("tb")->actions();
    EXPECT_TRUE(buttons[0]->toolTip().contains(keys(Qt::CTRL | Qt::Key_R)));
    EXPECT_TRUE(buttons[1]->toolTip().contains(keys(Qt::CTRL | Qt::Key_E)));
    EXPECT_TRUE(buttons[4]->toolTip().contains(keys(QKeyCombination(Qt::Key_Delete))));
    EXPECT_TRUE(buttons[6]->toolTip().contains(keys(Qt::CTRL | Qt::Key_M)));
    QMenu* rotate = child<QMenu>("tb_rotate_menu");
    EXPECT_EQ(entry(*rotate, text("tb_rotate90CW"))->shortcut(),
              QKeySequence(Qt::CTRL | Qt::Key_R));
    EXPECT_EQ(entry(*rotate, text("tb_rotate270CW"))->shortcut(),
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    ASSERT_NE(context_menu(), nullptr);
    EXPECT_EQ(entry(*context_menu(), text("tb_crop"))->shortcut(),
              QKeySequence(Qt::CTRL | Qt::Key_E));
    EXPECT_EQ(entry(*context_menu(), text("tb_delete"))->shortcut(), QKeySequence(Qt::Key_Delete));
    EXPECT_EQ(entry(*context_menu(), text("send_mail"))->shortcut(),
              QKeySequence(Qt::CTRL | Qt::Key_M));
}

TEST_F(GridKeysTest, TheContextMenuIsEnabledAsTheToolbarIs) {
    m_tex->setSelectedItems(QStringLiteral("1,3"));
    QMetaObject::invokeMethod(m_tex, "GlimraDrawingEnd");
    QMenu* menu = right_click(3);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu, context_menu());
    EXPECT_EQ(m_tex->SelectedItems(), "1,3") << "the menu acts on the whole selection";
    const std::vector<std::pair<QString, bool>> many = {
        {text("tb_rotate90CW"), true},  {text("tb_rotate270CW"), true},
        {text("tb_rotate180CW"), true}, {text("tb_fliph"), true},
        {text("tb_flipv"), true},       {text("tb_crop"), false},
        {text("tb_resize"), true},      {text("tb_delete"), true},
        {text("send_mail"), true},      {text("tb_undo"), false}};
    EXPECT_EQ(entries(*menu), many);
    menu->hide();

    menu = right_click(4);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(m_tex->SelectedItems(), "4");
    EXPECT_TRUE(entry(*menu, text("tb_crop"))->isEnabled());
    EXPECT_EQ(toolbar(), (std::vector<bool>{true, true, true, true, true}));
    menu->hide();

    m_tex->setSelectedItems(QString());
    QMetaObject::invokeMethod(m_tex, "GlimraDrawingEnd");
    for (const auto& [name, enabled] : entries(*context_menu()))
        EXPECT_FALSE(enabled) << name.toStdString();
}

TEST_F(GridKeysTest, TheContextMenusCommandsActOnThePictures) {
    QMenu* turn = right_click(2);
    ASSERT_NE(turn, nullptr);
    turn->hide();
    entry(*turn, text("tb_rotate90CW"))->trigger();
    wait_for_command_end();
    settle();
    EXPECT_EQ(size_of(2), "48,64");
    EXPECT_EQ(size_of(1), "64,48");

    QMenu* menu = right_click(3);
    ASSERT_NE(menu, nullptr);
    QMenu* sizes = entry(*menu, text("tb_resize"))->menu();
    ASSERT_NE(sizes, nullptr);
    m_dialogs.queue_input("32");
    menu->hide();
    entry(*sizes, text("resize_other"))->trigger();
    wait_for_command_end();
    settle();
    EXPECT_EQ(size_of(3), "32,24");
    for (QAction* size : sizes->actions())
        if (size->data().toString() == QLatin1String("qcqv"))
            size->trigger();
    wait_for_command_end();
    EXPECT_EQ(size_of(3), "480,360");
}

} // namespace
} // namespace orvix::test
