// The grid's delete goes to the desktop's trash, and the undo button (Ctrl+Z) takes back the
// last command on every picture it changed, through the real window.
#include "grid_fixture.h"

#include "controls/picture/getrect.h"
#include "controls/picture/picture_plus.h"
#include "editing/cropwindow.h"
#include "fs/fs.h"
#include "platform/qt/qt_dialogs.h"

#include <QApplication>
#include <QMenu>
#include <QMessageBox>

#include <cerrno>
#include <filesystem>
#include <map>
#include <ostream>

namespace orvix::test {
namespace {

// A volume without a trash: every picture is deleted for good.
class NoTrash final : public Trash {
public:
    bool available_for(const std::string&) override { return false; }
    int move_to_trash(const std::string& path) override {
        ADD_FAILURE() << "moved to a trash that is not there: " << path;
        return ENOSYS;
    }
};

class UndoTest : public GridWindowTest {
protected:
    void SetUp() override {
        start_with_card({"IMG_1.jpg", "IMG_2.jpg", "IMG_3.bmp"});
        transfer();
        m_dialogs.clear();
    }
    void TearDown() override { m_desktop.switched_trash.own = nullptr; }

    QAction* action(const char* name) const {
        return child<QToolBar>("tb")->findChild<QAction*>(QString::fromLatin1(name));
    }
    QAction* button(int number) const {
        return child<QToolBar>("tb")->findChild<QAction*>(
            QStringLiteral("tb_button%1").arg(number));
    }
    QAction* entry(const char* menu, const char* key) const {
        for (QAction* item : child<QMenu>(menu)->actions())
            if (item->data().toString() == QLatin1String(key))
                return item;
        ADD_FAILURE() << "no entry " << key;
        return nullptr;
    }
    void select(const char* items) {
        m_tex->setSelectedItems(QString::fromLatin1(items));
        QMetaObject::invokeMethod(m_tex, "GlimraDrawingEnd");
    }
    void after_command() {
        wait_for_command_end();
        settle();
    }
    void undo() {
        ASSERT_TRUE(action("undo")->isEnabled());
        action("undo")->trigger();
        after_command();
    }

    // Every transferred picture's bytes, and every thumbnail's, by path.
    std::map<std::string, std::string> files() const {
        std::map<std::string, std::string> bytes;
        for (const TransferredPicture& record : m_form->state().transferred_pictures) {
            bytes[record.picture_path] = read_file(record.picture_path);
            bytes[record.thumb_path] = read_file(record.thumb_path);
        }
        return bytes;
    }
    std::vector<std::string> grid_files() const {
        std::vector<std::string> paths;
        for (int item = 1; item <= m_tex->model().count(); ++item)
            paths.push_back(m_tex->File_Path(item).toStdString());
        return paths;
    }
    // The folders that hold the pictures kept for undo.
    std::vector<std::string> kept_folders() const {
        std::vector<std::string> folders;
        for (const std::string& name :
             folder_entry_names(m_thumbs).value_or(std::vector<std::string>{}))
            if (name.starts_with("undo-"))
                folders.push_back(m_thumbs + name + "/");
        return folders;
    }

    // Accepts the crop window with the upper left quarter chosen, as a user double-clicks.
    void crop_quarter_when_shown() {
        QTimer::singleShot(0, [] {
            auto* window = qobject_cast<cropwindow*>(QApplication::activeModalWidget());
            ASSERT_NE(window, nullptr);
            window->gr()->set_selrect_as_percents(0, 0, 0.5f, 0.5f);
            QWidget* bk = window->pplus()->findChild<QWidget*>(QStringLiteral("bk"));
            QMouseEvent twice(QEvent::MouseButtonDblClick, QPointF(bk->rect().center()),
                              bk->mapToGlobal(QPointF(bk->rect().center())), Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(bk, &twice);
        });
    }
};

enum class Command { Turn, Flip, Crop, Resize, Delete };

struct CommandCase {
    const char* name;
    const char* selection;
    Command command;
};
void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.name;
}

class UndoCommandTest : public UndoTest, public ::testing::WithParamInterface<CommandCase> {
protected:
    // As the user gives each command: its button or menu entry, and its window or question.
    void give(Command command) {
        switch (command) {
        case Command::Turn:
            return button(1)->trigger();
        case Command::Flip:
            return entry("tb_rotate_menu", "fliph")->trigger();
        case Command::Crop:
            crop_quarter_when_shown();
            return button(2)->trigger();
        case Command::Resize:
            return entry("tb_resize_menu", "scq")->trigger();
        case Command::Delete:
            m_dialogs.queue_answer(Answer::Yes);
            return button(5)->trigger();
        }
    }
};

TEST_P(UndoCommandTest, TakesBackEveryPictureItChangedByteForByte) {
    const CommandCase& command = GetParam();
    const std::map<std::string, std::string> before = files();
    const std::vector<TransferredPicture> records = m_form->state().transferred_pictures;
    const std::vector<std::string> shown = grid_files();
    EXPECT_FALSE(action("undo")->isEnabled()) << "nothing to take back yet";

    select(command.selection);
    give(command.command);
    after_command();
    ASSERT_NE(files(), before) << "the command changed nothing";
    ASSERT_EQ(kept_folders().size(), 1u);

    undo();
    EXPECT_EQ(files(), before);
    EXPECT_EQ(m_form->state().transferred_pictures, records);
    EXPECT_EQ(grid_files(), shown);
    EXPECT_EQ(m_tex->SelectedItems().toStdString(), command.selection)
        << "the pictures put back are selected";
    EXPECT_FALSE(action("undo")->isEnabled()) << "until the next command";
    EXPECT_TRUE(kept_folders().empty());
    for (const ScriptedDialogs::Message& message : m_dialogs.messages())
        EXPECT_EQ(message.buttons, Buttons::YesNo) << "no failure told: " << message.text;
}

INSTANTIATE_TEST_SUITE_P(Commands, UndoCommandTest,
                         ::testing::Values(CommandCase{"turn", "1,3", Command::Turn},
                                           CommandCase{"flip", "1,3", Command::Flip},
                                           CommandCase{"crop", "2", Command::Crop},
                                           CommandCase{"resize", "1,2,3", Command::Resize},
                                           CommandCase{"delete", "1,3", Command::Delete}),
                         [](const ::testing::TestParamInfo<CommandCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(UndoTest, CtrlZOnTheWindowTakesBackTheLastCommand) {
    const std::map<std::string, std::string> before = files();
    select("1");
    button(1)->trigger();
    after_command();
    ASSERT_NE(files(), before);
    EXPECT_TRUE(action("undo")->isEnabled());
    EXPECT_NE(action("undo")->toolTip().indexOf(QStringLiteral("Ctrl+Z")), -1)
        << action("undo")->toolTip().toStdString();
    m_form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_form.get()));
    QTest::keyClick(m_tex, Qt::Key_Z, Qt::ControlModifier);
    settle();
    EXPECT_EQ(files(), before);
    EXPECT_FALSE(action("undo")->isEnabled());
}

TEST_F(UndoTest, OnlyTheLastCommandIsKeptAndNothingOnceTheWindowHasGone) {
    select("1,3");
    button(1)->trigger();
    after_command();
    const std::vector<std::string> first = kept_folders();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(files_under(first[0]).size(), 2u) << "both pictures are kept";
    EXPECT_EQ(std::filesystem::status(first[0]).permissions(), std::filesystem::perms::owner_all)
        << "private to the user";
    const std::map<std::string, std::string> between = files();

    entry("tb_rotate_menu", "flipv")->trigger();
    after_command();
    const std::vector<std::string> second = kept_folders();
    ASSERT_EQ(second.size(), 1u);
    EXPECT_NE(second[0], first[0]);
    EXPECT_FALSE(folder_exists(first[0])) << "the command before is no longer kept";
    undo();
    EXPECT_EQ(files(), between) << "the last command only";

    button(1)->trigger();
    after_command();
    ASSERT_EQ(kept_folders().size(), 1u);
    const std::string last = kept_folders()[0];
    m_form.reset();
    EXPECT_FALSE(folder_exists(last));
}

TEST_F(UndoTest, ClosingTheProgramLeavesNothingKept) {
    select("2");
    button(1)->trigger();
    after_command();
    ASSERT_EQ(kept_folders().size(), 1u);
    m_form->close();
    EXPECT_FALSE(folder_exists(m_thumbs)) << "the kept files would have held it";
}

TEST_F(UndoTest, ADeletedPictureGoesToTheDesktopsTrash) {
    const std::string picture = picture_of(1);
    const std::string bytes = read_file(picture);
    select("1");
    m_dialogs.queue_answer(Answer::Yes);
    button(5)->trigger();
    after_command();
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].text, "Delete the 1 selected picture(s) from the disk?");
    EXPECT_EQ(m_dialogs.messages()[0].default_answer, Answer::No);
    EXPECT_FALSE(file_exists(picture));

    const std::string trash = m_dir.path() + "xdg-data/Trash/";
    EXPECT_EQ(read_file(trash + "files/" + file_name(picture, true)), bytes);
    const std::string info = read_file(trash + "info/" + file_name(picture, true) + ".trashinfo");
    EXPECT_TRUE(info.starts_with("[Trash Info]\n")) << info;
    EXPECT_NE(info.find("\nPath=" + picture + "\n"), std::string::npos) << info;
    EXPECT_NE(info.find("\nDeletionDate="), std::string::npos) << info;

    undo();
    EXPECT_EQ(read_file(picture), bytes);
    EXPECT_EQ(picture_of(1), picture);
}

TEST_F(UndoTest, WithoutATrashTheQuestionSaysThePicturesGoForGood) {
    NoTrash none;
    m_desktop.switched_trash.own = &none;
    const std::string first = picture_of(1), third = picture_of(3);
    const std::string bytes = read_file(first);
    select("1,3");
    m_dialogs.queue_answer(Answer::Yes);
    button(5)->trigger();
    after_command();
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].text,
              "2 of the 2 selected picture(s) lie on a disk without a trash and will be deleted "
              "for good.\r\nDelete the 2 selected picture(s)?");
    EXPECT_EQ(m_dialogs.messages()[0].default_answer, Answer::No);
    EXPECT_FALSE(file_exists(first));
    EXPECT_FALSE(file_exists(third));
    EXPECT_FALSE(folder_exists(m_dir.path() + "xdg-data/Trash/files/"));

    undo();
    EXPECT_EQ(read_file(first), bytes) << "the kept copy brings it back";
    EXPECT_TRUE(file_exists(third));
}

TEST_F(UndoTest, ReturnInTheDeleteQuestionKeepsThePictures) {
    QtDialogs boxes;
    ScopedDialogs real(boxes);
    const std::string picture = picture_of(2);
    bool asked = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        asked = true;
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        QTest::keyClick(box, Qt::Key_Return);
    });
    select("2");
    button(5)->trigger();
    after_command();
    EXPECT_TRUE(asked);
    EXPECT_TRUE(file_exists(picture));
    EXPECT_EQ(m_form->state().transferred_pictures.size(), 3u);
    EXPECT_FALSE(action("undo")->isEnabled()) << "nothing was done";
}

TEST_F(UndoTest, APictureThatCannotBeKeptIsLeftAsItIs) {
    ReadOnlyFolder locked(m_thumbs);
    if (!locked.ok())
        GTEST_SKIP() << "the thumbnail folder could not be made read-only";
    const std::string picture = picture_of(1);
    const std::string bytes = read_file(picture);
    select("1");
    button(1)->trigger();
    after_command();
    EXPECT_EQ(read_file(picture), bytes) << "an edit that could not be taken back";
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_NE(m_dialogs.messages()[0].text.find(
                  file_name(picture, true) + ": no copy of it could be kept to take the edit back"),
              std::string::npos)
        << m_dialogs.messages()[0].text;
    EXPECT_FALSE(action("undo")->isEnabled());
}

struct ChangedCase {
    const char* name;
    Answer answer;
    bool overwritten;
};
void PrintTo(const ChangedCase& c, std::ostream* os) {
    *os << c.name;
}

class ChangedSinceTest : public UndoTest, public ::testing::WithParamInterface<ChangedCase> {};

TEST_P(ChangedSinceTest, AsksBeforeOverwritingAPictureChangedSinceTheCommand) {
    const ChangedCase& c = GetParam();
    const std::string first = picture_of(1), third = picture_of(3);
    const std::string first_bytes = read_file(first), third_bytes = read_file(third);
    select("1,3");
    button(1)->trigger();
    after_command();
    // Someone else's program saves over the turned picture.
    const std::string theirs = read_file(third) + "their work";
    write_file(first, theirs);
    m_dialogs.clear();
    m_dialogs.queue_answer(c.answer);
    undo();
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    const ScriptedDialogs::Message& question = m_dialogs.messages()[0];
    EXPECT_NE(question.text.find(file_name(first, true)), std::string::npos) << question.text;
    EXPECT_EQ(question.text.find(file_name(third, true)), std::string::npos) << question.text;
    EXPECT_EQ(question.default_answer, Answer::No);
    EXPECT_EQ(read_file(first), c.overwritten ? first_bytes : theirs);
    EXPECT_EQ(read_file(third), third_bytes) << "the picture nobody touched comes back";
}

INSTANTIATE_TEST_SUITE_P(Answers, ChangedSinceTest,
                         ::testing::Values(ChangedCase{"kept", Answer::No, false},
                                           ChangedCase{"overwritten", Answer::Yes, true}),
                         [](const ::testing::TestParamInfo<ChangedCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
} // namespace orvix::test
