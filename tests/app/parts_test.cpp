// The window's parts on a bare window of their own: what each needs from the others comes
// only through the links the window sets, and in the order the window relies on.
#include "app_fixture.h"

#include "app/transfer_panel.h"
#include "fs/fs.h"
#include "support/fake_volumes.h"
#include "support/images.h"

#include <QFrame>
#include <QLineEdit>
#include <QTest>

#include <filesystem>
#include <set>

namespace orvix::test {
namespace {

class TransferPanelTest : public AppTest {
protected:
    TransferPanelTest() {
        make_path(m_thumbs);
        m_card = m_dir.folder("card");
        m_photos = m_dir.folder("photos");
        make_jpeg(m_card + "IMG_0001.jpg", 64, 48);
        m_panel.load(prefs_file_text({{"SOURCE_PATH", m_card}, {"DEST_PATH", m_photos}}));
        m_held_off->setEnabled(false);

        TransferLinks links;
        // Stands in for the setup page: a conversion the panel cannot know of by itself.
        links.setup_options = [] {
            TransferOptions options;
            options.format_index = 4; // png
            options.quality_text = "80";
            options.show_thumbs = true; // the run keeps its pictures only for the grid
            return options;
        };
        links.quality = m_quality;
        links.held = {m_held_on, m_held_off};
        links.before_run = [this] { m_calls.push_back("before_run"); };
        links.pictures_ready = [this](const std::vector<TransferredPicture>& pictures) {
            m_calls.push_back("pictures_ready");
            for (const TransferredPicture& picture : pictures)
                m_calls.push_back(file_name(picture.picture_path, true));
        };
        links.after_run = [this] {
            m_calls.push_back("after_run");
            EXPECT_FALSE(m_panel.running());
            EXPECT_TRUE(m_held_on->isEnabled()) << "the controls are back before after_run";
        };
        links.resume_watch = [this] { m_calls.push_back("resume_watch"); };
        links.wake = [this] { m_calls.push_back("wake"); };
        m_panel.link(std::move(links));
    }

    std::set<std::string> photos() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_photos))
            names.insert(entry.path().filename().string());
        return names;
    }

    std::string m_card, m_photos;
    QWidget m_window;
    QFrame* m_page = new QFrame(&m_window);
    QLineEdit* m_quality = new QLineEdit(&m_window);
    QWidget* m_held_on = new QWidget(&m_window);
    QWidget* m_held_off = new QWidget(&m_window);
    LanguageTable m_language;
    FakeVolumes m_volumes;
    std::vector<std::string> m_calls;
    TransferPanel m_panel{*m_page, m_window,
                          TransferShared{m_desktop, m_language, m_volumes.tables(), m_thumbs},
                          TransferIcons{}};
};

TEST_F(TransferPanelTest, ARunTakesTheSetupChoicesWithItsOwnFoldersAndCallsBackInOrder) {
    m_panel.start();
    EXPECT_TRUE(m_panel.running());
    EXPECT_FALSE(m_held_on->isEnabled()) << "held through the run";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_panel.running(); }, 60000));

    EXPECT_EQ(photos(), std::set<std::string>{"IMG_0001.png"});
    EXPECT_EQ(m_calls, (std::vector<std::string>{"before_run", "wake", "pictures_ready",
                                                 "IMG_0001.png", "after_run", "resume_watch"}));
    EXPECT_TRUE(m_held_on->isEnabled());
    EXPECT_FALSE(m_held_off->isEnabled()) << "each held control gets its own state back";
    EXPECT_EQ(m_dialogs.messages().size(), 1u) << "the report";
}

TEST_F(TransferPanelTest, StoppingToCloseClosesTheWindowInsteadOfResumingTheWatch) {
    m_window.show();
    m_panel.start();
    m_panel.stop_and_close();
    EXPECT_TRUE(m_window.isVisible()) << "the window waits for the run";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_window.isVisible(); }, 60000));

    EXPECT_FALSE(m_panel.running());
    ASSERT_FALSE(m_calls.empty());
    EXPECT_EQ(m_calls.back(), "after_run");
    EXPECT_EQ(std::count(m_calls.begin(), m_calls.end(), "resume_watch"), 0);
}

} // namespace
} // namespace orvix::test
