// Runs that leave out the pictures transferred before: the record each run keeps, the same
// card found again after its clock moved, and a record that cannot be used.
#include "transfer/transfer.h"

#include "fs/fs.h"
#include "platform/dialogs.h"
#include "settings/language.h"
#include "support/fake_volumes.h"
#include "support/images.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace orvix {
namespace {

constexpr const char* kTexts = "progress_transfer=From #1 to #2\r"
                               "copy_error=Cannot copy #1\r"
                               "end_transfer=#1 pictures\r"
                               "no_error=No error\r"
                               "x_failed=#1 failed\r"
                               "no_picture_transferable=No picture\r"
                               "transfer_stopped=Stopped: #1 of #2\r"
                               "no_history=No record:<BR>#1<BR>All new\r";

constexpr int64_t kTaken = 1500000000;
constexpr int64_t kMinute = 60;
constexpr int64_t kHour = 60 * kMinute;

class SilentProgress final : public ProgressSink {
public:
    void set_min(int) override {}
    void set_max(int) override {}
    void set_value(int) override {}
    void set_caption(const std::string&) override {}
    void set_visible(bool) override {}
    void set_quality_text(const std::string&) override {}
};

class OnlyNew : public ::testing::Test {
protected:
    void SetUp() override {
        m_language.parse_language_text(kTexts);
        m_options.source_text = m_card;
        m_options.history_path = m_history;
        m_options.volume_tables = m_volumes.tables();
        for (const char* name : {"DCIM/IMG_0001.JPG", "DCIM/IMG_0002.JPG", "DCIM/sub/IMG_0003.tif"})
            add(name);
    }
    void TearDown() override { set_after_copy_hook({}); }

    std::string add(const std::string& relative, int width = 32) {
        const std::string path = m_dir.file("card/" + relative);
        test::make_picture(path, width, 24);
        test::set_mtime(path, kTaken);
        return path;
    }
    // A run into a fresh destination; the names of the pictures it copied, sorted.
    std::vector<std::string> run(bool only_new) {
        m_options.only_new = only_new;
        m_options.destination_text = m_dir.folder("dest" + std::to_string(++m_runs));
        m_dialogs.clear();
        std::vector<TransferredPicture> pictures;
        m_outcome = run_transfer(m_options, m_dir.folder("thumbs"), m_language, m_dialogs,
                                 m_progress, pictures);
        std::vector<std::string> names;
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(m_options.destination_text))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> texts;
        for (const auto& message : m_dialogs.messages())
            texts.push_back(message.text);
        return texts;
    }

    const std::vector<std::string> m_all = {"IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.tif"};
    test::TempDir m_dir;
    test::FakeVolumes m_volumes;
    std::string m_card = m_dir.folder("card");
    std::string m_history = m_dir.path() + "data/orvix/history.sqlite";
    LanguageTable m_language;
    ScriptedDialogs m_dialogs;
    SilentProgress m_progress;
    TransferOptions m_options;
    TransferOutcome m_outcome;
    int m_runs = 0;
};

// A run without the option keeps the record too, so turning it on later knows the past.
TEST_F(OnlyNew, ASecondTransferCopiesNothingAndARunWithoutTheOptionKeepsNoRecord) {
    EXPECT_EQ(run(false), m_all);
    EXPECT_EQ(run(false), m_all) << "without the option every picture goes again";
    EXPECT_FALSE(file_exists(m_history)) << "without the option the run copies as it always did";
    EXPECT_EQ(run(true), m_all);
    EXPECT_EQ(run(true), std::vector<std::string>{});
    EXPECT_EQ(m_outcome.found, 0);
    EXPECT_EQ(messages(), std::vector<std::string>{"No picture"});

    add("DCIM/IMG_0004.JPG");
    EXPECT_EQ(run(true), std::vector<std::string>{"IMG_0004.jpg"});
    EXPECT_EQ(m_outcome.found, 1) << "the report counts the pictures handled";
    EXPECT_EQ(messages(), std::vector<std::string>{"1 pictures\r\nNo error"});
}

// The card keeps local time: a moved clock shifts its pictures by whole quarter hours.
TEST_F(OnlyNew, APictureIsTheSameAfterItsTimeMovedByWholeQuarterHoursOnly) {
    struct Case {
        const char* label;
        int64_t shift;
        bool is_new;
    };
    const Case cases[] = {
        {"an hour later", kHour, false},
        {"an hour earlier", -kHour, false},
        {"half an hour later, a half-hour time zone", 30 * kMinute, false},
        {"a day later", 24 * kHour, false},
        {"ten minutes later", 10 * kMinute, true},
        {"a second later", 1, true},
        {"a day and a quarter hour later", 24 * kHour + 15 * kMinute, true},
    };
    const std::string picture = m_card + "DCIM/IMG_0001.JPG";
    ASSERT_EQ(run(true), m_all);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        test::set_mtime(picture, kTaken + c.shift);
        EXPECT_EQ(run(true),
                  c.is_new ? std::vector<std::string>{"IMG_0001.jpg"} : std::vector<std::string>{});
        // A run records what it copied, under the time it copied: put the first one back.
        test::set_mtime(picture, kTaken);
    }
}

TEST_F(OnlyNew, APictureWhoseSizeChangedIsNew) {
    ASSERT_EQ(run(true), m_all);
    add("DCIM/IMG_0002.JPG", 48);
    EXPECT_EQ(run(true), std::vector<std::string>{"IMG_0002.jpg"});
}

TEST_F(OnlyNew, TheSameCardMountedElsewhereIsKnownByItsUuid) {
    m_volumes.mount(m_dir.path() + "card", test::Disk::Removable);
    m_volumes.name_volume(m_dir.path() + "card", "1234-ABCD", "");
    m_options.source_text = m_card + "DCIM";
    ASSERT_EQ(run(true), m_all);

    std::filesystem::rename(m_card, m_dir.path() + "mounted");
    m_volumes.unmount(m_dir.path() + "card");
    m_volumes.mount(m_dir.path() + "mounted", test::Disk::Removable);
    m_volumes.name_volume(m_dir.path() + "mounted", "1234-ABCD", "");
    m_options.source_text = m_dir.path() + "mounted";
    EXPECT_EQ(run(true), std::vector<std::string>{});

    m_volumes.name_volume(m_dir.path() + "mounted", "9999-0000", "");
    EXPECT_EQ(run(true), m_all) << "another card with the same files";
}

// Each copy is recorded as soon as it is read back equal: a stopped run still knows it.
TEST_F(OnlyNew, AStoppedRunRemembersWhatItCopied) {
    int asked = 0;
    m_options.stop_requested = [&asked] { return ++asked > 2; };
    ASSERT_EQ(run(true).size(), 2u);
    EXPECT_TRUE(m_outcome.stopped);
    m_options.stop_requested = {};
    EXPECT_EQ(run(true).size(), 1u);
    EXPECT_EQ(run(true), std::vector<std::string>{});
}

// A copy that is not its original is no transfer: the next run offers the picture again.
TEST_F(OnlyNew, ASpoiledCopyIsNotRecorded) {
    set_after_copy_hook([](const std::string& source, const std::string& copy) {
        if (source.ends_with("IMG_0002.JPG"))
            test::write_file(copy, "spoiled");
    });
    ASSERT_EQ(run(true), m_all);
    set_after_copy_hook({});
    EXPECT_EQ(run(true), std::vector<std::string>{"IMG_0002.jpg"});
}

TEST_F(OnlyNew, ACorruptRecordIsSaidOnceEveryPictureIsNewAndTheFileStaysAsItWas) {
    std::string garbage;
    for (int i = 0; i < 5000; ++i)
        garbage += static_cast<char>((i * 131) % 256);
    m_dir.folder("data/orvix");
    test::write_file(m_history, garbage);

    EXPECT_EQ(run(false), m_all);
    EXPECT_EQ(messages(), std::vector<std::string>{"3 pictures\r\nNo error"})
        << "without the option the record is none of the user's business";
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(run(true), m_all);
        EXPECT_EQ(messages(),
                  (std::vector<std::string>{"No record:\r\n" + m_history + "\r\nAll new",
                                            "3 pictures\r\nNo error"}));
    }
    EXPECT_EQ(test::read_file(m_history), garbage);
    EXPECT_EQ(folder_entry_names(m_dir.path() + "data/orvix"),
              std::vector<std::string>{"history.sqlite"});
}

TEST_F(OnlyNew, AReadOnlyRecordFolderIsSaidOnceAndEveryPictureIsNew) {
    ASSERT_EQ(run(true), m_all);
    const std::string before = test::read_file(m_history);
    const test::ReadOnlyFolder read_only(m_dir.path() + "data/orvix");
    ASSERT_TRUE(read_only.ok());
    EXPECT_EQ(run(true), m_all);
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_TRUE(messages()[0].starts_with("No record:")) << messages()[0];
    EXPECT_EQ(test::read_file(m_history), before);
}

} // namespace
} // namespace orvix
