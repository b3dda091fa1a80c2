// The Qt message and input boxes, answered by pressing their buttons, and the hourglass.
#include "app_fixture.h"

#include "platform/qt/hourglass.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_trash.h"
#include "platform/qt/text_codec.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <QTest>

#include <functional>
#include <random>
#include <unistd.h>

namespace orvix::test {
namespace {

// Runs act on the modal box as soon as it is open.
void when_box_opens(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act = std::move(act)] { act(QApplication::activeModalWidget()); });
}

TEST(QtDialogs, BoxesShowTheProgramTitleAndPlainTextAndReturnTheAnswer) {
    qt_app();
    QtDialogs dialogs;
    QMessageBox* seen = nullptr;
    QString title;
    QString text;
    when_box_opens([&](QWidget* widget) {
        seen = qobject_cast<QMessageBox*>(widget);
        ASSERT_NE(seen, nullptr);
        title = seen->windowTitle();
        text = seen->text();
        EXPECT_EQ(seen->icon(), QMessageBox::Warning);
        seen->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(dialogs.message_box("<b>1 < 2</b>", "", Icon::Exclamation, Buttons::YesNo),
              Answer::No);
    EXPECT_EQ(title, "Orvix");
    EXPECT_EQ(text, "<b>1 < 2</b>");

    when_box_opens([](QWidget* widget) {
        auto* box = qobject_cast<QInputDialog*>(widget);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "Twins !!!");
        EXPECT_EQ(box->textValue(), "IMG_0001-bis");
        box->setTextValue("holiday");
        box->accept();
    });
    EXPECT_EQ(dialogs.input_box("Name?", "Twins !!!", "IMG_0001-bis"), "holiday");
    when_box_opens([](QWidget* widget) { qobject_cast<QDialog*>(widget)->reject(); });
    EXPECT_EQ(dialogs.input_box("Name?", "", "x"), std::nullopt);
}

TEST(QtDialogs, AnInputBoxWithACheckBoxReturnsTheAnswerAndTheBoxesState) {
    qt_app();
    QtDialogs dialogs;
    struct Case {
        const char* label;
        bool check;
        bool accept;
        CheckedInput expected;
    };
    const Case cases[] = {
        {"proposal kept, checked", true, true, {"IMG_0001-bis", true}},
        {"proposal kept, unchecked", false, true, {"IMG_0001-bis", false}},
        {"cancelled, checked", true, false, {std::nullopt, true}},
        {"cancelled, unchecked", false, false, {std::nullopt, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        bool shown_unchecked = false;
        when_box_opens([&](QWidget* widget) {
            ASSERT_NE(widget, nullptr);
            EXPECT_EQ(widget->windowTitle(), "Twins !!!");
            auto* same = widget->findChild<QCheckBox*>("sameanswer");
            if (!same)
                qobject_cast<QDialog*>(widget)->reject();
            ASSERT_NE(same, nullptr);
            EXPECT_EQ(same->text(), "Same for the rest");
            EXPECT_EQ(widget->findChild<QLineEdit*>()->text(), "IMG_0001-bis");
            shown_unchecked = !same->isChecked();
            if (c.check)
                QTest::mouseClick(same, Qt::LeftButton, {}, QPoint(4, same->height() / 2));
            auto* buttons = widget->findChild<QDialogButtonBox*>();
            QTest::mouseClick(
                buttons->button(c.accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel),
                Qt::LeftButton);
        });
        const CheckedInput answer =
            dialogs.checked_input_box("Name?", "Twins !!!", "IMG_0001-bis", "Same for the rest");
        EXPECT_TRUE(shown_unchecked);
        EXPECT_EQ(answer.text, c.expected.text);
        EXPECT_EQ(answer.checked, c.expected.checked);
    }
}

TEST(TextCodec, EveryByteStringComesBackAsItWas) {
    const std::string cases[] = {
        "",
        "IMG_0001.JPG",
        "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xb7", // valid UTF-8
        "\xff\xfeIMG_0021.JPG",
        "caf\xe9.jpg", // Latin-1
        "\xc0\xaf",
        "\xe0\x80\xaf",             // overlong
        "\xed\xa0\x80\xed\xb0\x80", // surrogates
        "\xf4\x90\x80\x80",
        "\xc3",
        "\xe2\x82",
        std::string("a\x80") + "b", // beyond, cut, stray
        std::string("nul\0inside", 11),
    };
    for (const std::string& bytes : cases)
        EXPECT_EQ(from_qt(to_qt(bytes)), bytes) << bytes;
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 12, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() % 256);
        ASSERT_EQ(from_qt(to_qt(bytes)), bytes);
    }
    // Valid text reads as its characters; only the stray bytes are escaped.
    EXPECT_EQ(to_qt("caf\xc3\xa9"), QString::fromUtf8("caf\xc3\xa9"));
    EXPECT_EQ(to_qt(std::string("\xff") + "A").size(), 2);
    EXPECT_EQ(from_qt(QString::fromUtf8("\xe2\x82\xac")), "\xe2\x82\xac");
}

TEST(QtDialogs, AnAnswerKeepsTheBytesOfANameThatIsNotUtf8) {
    qt_app();
    QtDialogs dialogs;
    const std::string proposal = "\xff\xfeIMG_0021-bis";
    when_box_opens([](QWidget* widget) { qobject_cast<QInputDialog*>(widget)->accept(); });
    EXPECT_EQ(dialogs.input_box("Name?", "Twins !!!", proposal), proposal);

    // Typing at the end keeps the bytes the user did not touch.
    when_box_opens([](QWidget* widget) {
        auto* edit = widget->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        edit->end(false);
        QTest::keyClicks(edit, "_2");
        qobject_cast<QInputDialog*>(widget)->accept();
    });
    EXPECT_EQ(dialogs.input_box("Name?", "Twins !!!", proposal), proposal + "_2");
}

TEST(Desktop, TheShellGetsTheFileUrlOfThePathsOwnBytes) {
    EXPECT_EQ(shell_url("/media/card/\xff\xfe a.jpg").toEncoded(),
              "file:///media/card/%FF%FE%20a.jpg");
    EXPECT_EQ(shell_url("/home/me/caf\xc3\xa9").toLocalFile(),
              QString::fromUtf8("/home/me/caf\xc3\xa9"));
    EXPECT_EQ(shell_url("https://example.org/a b").toString(), "https://example.org/a b");
    EXPECT_TRUE(shell_url("relative/x.jpg").toLocalFile().endsWith("/relative/x.jpg"));
}

TEST(Hourglass, NestedGuardsRestoreThePointerAtTheOutermost) {
    qt_app();
    {
        Hourglass outer;
        {
            Hourglass inner(Pointer::Busy);
            EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
        }
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtDialogs, ABoxShowsTheArrowOverTheWorkThatAsks) {
    qt_app();
    QtDialogs dialogs;
    const Hourglass busy(Pointer::Busy);
    std::vector<Qt::CursorShape> seen;
    auto note_and_close = [&seen](QWidget* widget) {
        seen.push_back(QApplication::overrideCursor()->shape());
        qobject_cast<QDialog*>(widget)->reject();
    };
    when_box_opens(note_and_close);
    dialogs.message_box("Sure?", "", Icon::Question, Buttons::YesNo);
    when_box_opens(note_and_close);
    dialogs.input_box("Name?", "", "x");
    EXPECT_EQ(seen, (std::vector<Qt::CursorShape>{Qt::ArrowCursor, Qt::ArrowCursor}));
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
}

// A picture on a volume other than the home folder's goes to the trash at that volume's
// root, as the file managers put it.
TEST(QtTrash, AnotherVolumeHasItsTrashAtItsRoot) {
    qt_app();
    const SmallVolume volume(1024 * 1024);
    if (!volume.ok())
        GTEST_SKIP() << "needs root to mount a volume";
    const TempDir dir;
    ScopedEnv env;
    env.set("HOME", dir.folder("home"));
    env.set("XDG_DATA_HOME", dir.folder("data"));
    const std::string picture = volume.path() + "a.jpg";
    write_file(picture, "picture");
    QtTrash trash;
    ASSERT_TRUE(trash.available_for(picture));
    EXPECT_EQ(trash.move_to_trash(picture), 0);
    EXPECT_FALSE(file_exists(picture));
    const std::string own = volume.path() + ".Trash-" + std::to_string(::getuid()) + "/";
    EXPECT_EQ(read_file(own + "files/a.jpg"), "picture");
    EXPECT_TRUE(file_exists(own + "info/a.jpg.trashinfo"));
}

// Where no trash can be made at the volume's root and the home trash lies on another
// volume, there is none: the question says so, and a move would fail with the file in place.
TEST(QtTrash, AVolumeWhoseTrashCannotBeMadeHasNone) {
    qt_app();
    const SmallVolume volume(1024 * 1024);
    if (!volume.ok())
        GTEST_SKIP() << "needs root to mount a volume";
    const TempDir dir;
    ScopedEnv env;
    env.set("HOME", dir.folder("home"));
    env.set("XDG_DATA_HOME", dir.folder("data"));
    write_file(volume.path() + ".Trash-" + std::to_string(::getuid()), "a file, not a folder");
    const std::string picture = volume.path() + "a.jpg";
    write_file(picture, "picture");
    QtTrash trash;
    EXPECT_FALSE(trash.available_for(picture));
    EXPECT_NE(trash.move_to_trash(picture), 0);
    EXPECT_EQ(read_file(picture), "picture");
}

TEST(QtDialogs, AQuestionCanDefaultToNo) {
    qt_app();
    QtDialogs dialogs;
    QMessageBox* seen = nullptr;
    when_box_opens([&](QWidget* widget) {
        seen = qobject_cast<QMessageBox*>(widget);
        ASSERT_NE(seen, nullptr);
        EXPECT_EQ(seen->defaultButton(), seen->button(QMessageBox::No));
        QTest::keyClick(seen, Qt::Key_Return);
    });
    EXPECT_EQ(dialogs.ask("Sure?", "", Icon::Question, Buttons::YesNo, Answer::No), Answer::No);
    EXPECT_NE(seen, nullptr);
}

} // namespace
} // namespace orvix::test
