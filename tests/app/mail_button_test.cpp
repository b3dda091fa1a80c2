// The toolbar's mail button: the mail window over the grid's selection, modal and owned by
// the main window, with the mail component that ships with the program.
#include "app_fixture.h"

#include "fs/fs.h"
#include "mail/mailform.h"
#include "support/images.h"
#include "support/mail_fakes.h"
#include "support/scoped_env.h"

#include <QAction>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <ctime>

namespace orvix::test {
namespace {

using MailButtonTest = AppTest;

TEST_F(MailButtonTest, OpensTheMailWindowOverTheSelectedPictures) {
    ScopedEnv env;
    env.set("XDG_DATA_HOME", m_dir.folder("xdg-data"));
    env.set("XDG_CACHE_HOME", m_dir.folder("xdg-cache"));
    const std::string card = m_dir.folder("card");
    const std::string photos = m_dir.folder("photos");
    make_jpeg(card + "IMG_0001.jpg", 64, 48);
    make_jpeg(card + "IMG_0002.jpg", 48, 64);
    make_jpeg(card + "IMG_0003.jpg", 32, 32);
    Form1& form = start({{"SOURCE_PATH", card}, {"DEST_PATH", photos}, {"SHOW_THUMBS", "1"}});
    click_transfer_and_wait();
    ASSERT_EQ(form.state().transferred_pictures.size(), 3u);
    m_dialogs.clear();

    // The grid publishes its selection this way and has the toolbar enabled.
    child<QWidget>("tex")->setProperty("SelectedItems", QStringLiteral("3,1"));
    QAction* mail = child<QAction>("tb_button7");
    mail->setEnabled(true);

    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto* window = qobject_cast<mailform*>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr);
        opened = true;
        EXPECT_TRUE(window->isModal());
        EXPECT_EQ(window->parentWidget(), &form);
        auto* prepare = window->findChild<QPushButton*>(QStringLiteral("prepare"));
        EXPECT_TRUE(prepare->isEnabled()) << "the shipped component was registered and created";
        m_dialogs.queue_answer(Answer::No);
        window->prepare_Click();
        ASSERT_TRUE(QTest::qWaitFor([window] { return !window->preparing(); }, 60000));
        const MailResult& result = window->last_result();
        const std::string folder = result.folder;
        EXPECT_EQ(folder.rfind(m_dir.path() + "xdg-cache/orvix/mail/mail-", 0), 0u) << folder;
        // Item n is the picture of the grid's item n, in the grid's order of items (the
        // order the card listed them), whatever order the selection was written in.
        const auto& pictures = form.state().transferred_pictures;
        EXPECT_EQ(result.attachments, "\"" + folder + file_name(pictures[0].picture_path, false) +
                                          ".jpg\" \"" + folder +
                                          file_name(pictures[2].picture_path, false) + ".jpg\"");
        window->cancel_Click();
    });
    mail->trigger();
    EXPECT_TRUE(opened);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "closed again";
}

TEST_F(MailButtonTest, SendingLeavesTheMainWindowAsItWas) {
    ScopedEnv env;
    env.set("XDG_DATA_HOME", m_dir.folder("xdg-data"));
    env.set("XDG_CACHE_HOME", m_dir.folder("xdg-cache"));
    FakeXdgEmail xdg(m_dir);
    const std::string card = m_dir.folder("card");
    make_jpeg(card + "IMG_0001.jpg", 64, 48);
    make_jpeg(card + "IMG_0002.jpg", 64, 48);
    Form1& form =
        start({{"SOURCE_PATH", card}, {"DEST_PATH", m_dir.folder("photos")}, {"SHOW_THUMBS", "1"}});
    click_transfer_and_wait();
    // Two pictures selected: every button but crop enabled, as the grid leaves them.
    child<QWidget>("tex")->setProperty("SelectedItems", QStringLiteral("1,2"));
    form.tex_GlimraDrawingEnd();
    QAction* mail = child<QAction>("tb_button7");
    ASSERT_FALSE(child<QAction>("tb_button2")->isEnabled());
    auto* toolbar = child<QToolBar>("tb");
    std::vector<bool> before;
    for (QAction* action : toolbar->actions())
        before.push_back(toolbar->widgetForAction(action)->isEnabled());

    QTimer::singleShot(0, [&] {
        auto* window = qobject_cast<mailform*>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr);
        m_dialogs.queue_answer(Answer::Yes);
        window->prepare_Click();
    });
    mail->trigger();
    ASSERT_TRUE(QTest::qWaitFor([] { return !mails_under_way(); }, 30000));
    ASSERT_EQ(xdg.calls().size(), 1u) << "the mail went to xdg-email";
    std::vector<bool> after;
    for (QAction* action : toolbar->actions())
        after.push_back(toolbar->widgetForAction(action)->isEnabled());
    EXPECT_EQ(after, before) << "disabling windows for the call must not enable buttons";
    EXPECT_TRUE(form.isEnabled());
}

// A mail program that was not running keeps xdg-email until the user closes it: the main
// window answers all that time.
TEST_F(MailButtonTest, TheMainWindowAnswersWhileTheMailProgramHoldsXdgEmail) {
    ScopedEnv env;
    env.set("XDG_DATA_HOME", m_dir.folder("xdg-data"));
    env.set("XDG_CACHE_HOME", m_dir.folder("xdg-cache"));
    FakeXdgEmail xdg(m_dir);
    const std::string gate = m_dir.path() + "mail-program-closed";
    xdg.wait_for_file(gate);
    const std::string card = m_dir.folder("card");
    make_jpeg(card + "IMG_0001.jpg", 64, 48);
    Form1& form =
        start({{"SOURCE_PATH", card}, {"DEST_PATH", m_dir.folder("photos")}, {"SHOW_THUMBS", "1"}});
    click_transfer_and_wait();
    child<QWidget>("tex")->setProperty("SelectedItems", QStringLiteral("1"));
    QAction* mail = child<QAction>("tb_button7");
    mail->setEnabled(true);
    m_dialogs.clear();

    QTimer::singleShot(0, [&] {
        auto* window = qobject_cast<mailform*>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr);
        m_dialogs.queue_answer(Answer::Yes);
        window->prepare_Click();
    });
    mail->trigger();
    ASSERT_EQ(xdg.wait_for_calls(1).size(), 1u);
    EXPECT_TRUE(mails_under_way()) << "xdg-email is still running";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the mail window closed";
    EXPECT_TRUE(form.isEnabled());
    bool answered = false;
    QTimer::singleShot(0, [&] { answered = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answered; }, 30000));
    EXPECT_TRUE(mails_under_way()) << "the window answered while the mail program held xdg-email";

    write_file(gate, "");
    ASSERT_TRUE(QTest::qWaitFor([] { return !mails_under_way(); }, 30000));
    EXPECT_EQ(m_dialogs.messages().size(), 1u) << "only the question: the mail was handed over";
}

TEST_F(MailButtonTest, StartingRemovesMailFoldersOlderThanADay) {
    ScopedEnv env;
    env.set("XDG_CACHE_HOME", m_dir.folder("xdg-cache"));
    const std::string old = m_dir.folder("xdg-cache/orvix/mail/mail-aaaaaa");
    const std::string recent = m_dir.folder("xdg-cache/orvix/mail/mail-bbbbbb");
    write_file(old + "IMG_1.jpg", "sent two days ago");
    write_file(recent + "IMG_1.jpg", "sent an hour ago");
    set_mtime(old, std::time(nullptr) - 2 * 24 * 3600);
    set_mtime(recent, std::time(nullptr) - 3600);
    start({});
    EXPECT_FALSE(folder_exists(old));
    EXPECT_TRUE(file_exists(recent + "IMG_1.jpg"));
}

} // namespace
} // namespace orvix::test
