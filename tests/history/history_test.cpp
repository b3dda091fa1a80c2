#include "history/history.h"

#include "support/fake_volumes.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

namespace orvix {
namespace {

constexpr int64_t kMinute = 60;
constexpr int64_t kHour = 60 * kMinute;

// Cards keep local time: a moved clock shifts every picture by whole quarter hours.
TEST(SameCardMoment, WholeQuarterHoursUpToADayEitherWayAreTheSameMoment) {
    struct Case {
        int64_t shift;
        bool same;
    };
    const Case cases[] = {
        {0, true},
        {kHour, true},
        {-kHour, true},
        {30 * kMinute, true},
        {-45 * kMinute, true},
        {24 * kHour, true},
        {-24 * kHour, true},
        {5 * kHour + 45 * kMinute, true},
        {1, false},
        {-2, false},
        {kHour + 1, false},
        {10 * kMinute, false},
        {24 * kHour + 15 * kMinute, false},
        {-24 * kHour - 15 * kMinute, false},
        {48 * kHour, false},
    };
    const int64_t then = 1700000000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shift);
        EXPECT_EQ(same_card_moment(then, then + c.shift), c.same);
    }
}

TEST(HistoryFile, LivesInTheUsersDataFolder) {
    test::ScopedEnv env;
    env.set("XDG_DATA_HOME", "/data/me");
    EXPECT_EQ(history_file_path(), "/data/me/orvix/history.sqlite");
    env.unset("XDG_DATA_HOME");
    env.set("HOME", "/home/me");
    EXPECT_EQ(history_file_path(), "/home/me/.local/share/orvix/history.sqlite");
}

class HistoryTest : public ::testing::Test {
protected:
    std::unique_ptr<TransferHistory> open(TransferHistory::Access access) {
        return TransferHistory::open(m_path, access);
    }

    test::TempDir m_dir;
    std::string m_path = m_dir.path() + "data/orvix/history.sqlite";
    const CardFile m_picture{"uuid:1234-ABCD", "DCIM/100CANON/IMG_0001.JPG", 4096, 1700000000};
};

TEST_F(HistoryTest, ARecordedPictureIsKnownAgainAfterTheFileIsReopened) {
    {
        const auto history = open(TransferHistory::Access::Write);
        ASSERT_NE(history, nullptr) << "the file and its folders are made";
        EXPECT_FALSE(history->transferred_before(m_picture));
        EXPECT_TRUE(history->record(m_picture));
        EXPECT_TRUE(history->record(m_picture)) << "twice is no error";
    }
    const auto history = open(TransferHistory::Access::Read);
    ASSERT_NE(history, nullptr);
    struct Case {
        const char* what;
        CardFile file;
        bool before;
    };
    CardFile other_card = m_picture;
    other_card.card = "uuid:9999-0000";
    CardFile other_path = m_picture;
    other_path.path = "DCIM/100CANON/IMG_0002.JPG";
    CardFile bigger = m_picture;
    bigger.size += 1;
    CardFile hour_later = m_picture;
    hour_later.mtime += kHour;
    CardFile minutes_later = m_picture;
    minutes_later.mtime += 7 * kMinute;
    const Case cases[] = {
        {"the same", m_picture, true},       {"another card", other_card, false},
        {"another path", other_path, false}, {"another size", bigger, false},
        {"an hour later", hour_later, true}, {"seven minutes later", minutes_later, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(history->transferred_before(c.file), c.before) << c.what;
    EXPECT_FALSE(history->record(m_picture)) << "a history opened to read takes no record";
}

TEST_F(HistoryTest, NoFileToReadIsNoHistoryAndMakesNone) {
    EXPECT_EQ(open(TransferHistory::Access::Read), nullptr);
    EXPECT_FALSE(path_exists(m_path));
    EXPECT_EQ(TransferHistory::open("", TransferHistory::Access::Write), nullptr);
}

TEST_F(HistoryTest, AFileThatIsNoDatabaseIsRefusedAndLeftAsItIs) {
    m_dir.folder("data/orvix");
    std::string garbage;
    for (int i = 0; i < 3000; ++i)
        garbage += static_cast<char>((i * 7919) % 251);
    test::write_file(m_path, garbage);
    EXPECT_EQ(open(TransferHistory::Access::Write), nullptr);
    EXPECT_EQ(open(TransferHistory::Access::Read), nullptr);
    EXPECT_EQ(test::read_file(m_path), garbage);
    EXPECT_EQ(folder_entry_names(m_dir.path() + "data/orvix"),
              std::vector<std::string>{"history.sqlite"})
        << "no journal or other file left beside it";
}

TEST_F(HistoryTest, AReadOnlyFolderTakesNoRecordButItsHistoryIsRead) {
    ASSERT_TRUE(open(TransferHistory::Access::Write)->record(m_picture));
    const std::string before = test::read_file(m_path);
    const test::ReadOnlyFolder read_only(m_dir.path() + "data/orvix");
    ASSERT_TRUE(read_only.ok());
    EXPECT_EQ(open(TransferHistory::Access::Write), nullptr);
    const auto history = open(TransferHistory::Access::Read);
    ASSERT_NE(history, nullptr);
    EXPECT_TRUE(history->transferred_before(m_picture));
    EXPECT_EQ(test::read_file(m_path), before);
}

TEST_F(HistoryTest, AFolderThatCannotBeMadeIsNoHistory) {
    const test::ReadOnlyFolder read_only(m_dir.path());
    ASSERT_TRUE(read_only.ok());
    EXPECT_EQ(open(TransferHistory::Access::Write), nullptr);
}

// Another program that keeps the file locked: the history waits a moment, then does without.
TEST_F(HistoryTest, AFileLockedByAnotherProgramIsRefusedAndKeptWhole) {
    ASSERT_TRUE(open(TransferHistory::Access::Write)->record(m_picture));
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(m_path.c_str(), &raw), SQLITE_OK);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> other(raw, sqlite3_close);
    ASSERT_EQ(sqlite3_exec(other.get(), "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(open(TransferHistory::Access::Write), nullptr);
    ASSERT_EQ(sqlite3_exec(other.get(), "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    const auto history = open(TransferHistory::Access::Read);
    ASSERT_NE(history, nullptr);
    EXPECT_TRUE(history->transferred_before(m_picture));
}

// The card is the same wherever it is mounted; its paths start at its root.
TEST(SourceCard, PathsAreTakenFromTheCardsRootWhereverItIsMounted) {
    test::TempDir dir;
    test::FakeVolumes fake;
    const std::string d = dir.path();
    fake.mount(d + "first", test::Disk::Removable);
    fake.name_volume(d + "first", "1234-ABCD", "");
    test::write_file(dir.folder("first/DCIM/100CANON") + "IMG_0001.JPG", "picture");
    const std::optional<CardFile> from_root =
        SourceCard(d + "first", fake.tables()).file(d + "first/DCIM/100CANON/IMG_0001.JPG");

    fake.unmount(d + "first");
    fake.mount(d + "second", test::Disk::Removable);
    fake.name_volume(d + "second", "1234-ABCD", "");
    test::write_file(dir.folder("second/DCIM/100CANON") + "IMG_0001.JPG", "picture");
    const std::optional<CardFile> from_folder =
        SourceCard(d + "second/DCIM", fake.tables()).file(d + "second/DCIM/100CANON/IMG_0001.JPG");

    ASSERT_TRUE(from_root && from_folder);
    EXPECT_EQ(from_root->card, "uuid:1234-ABCD");
    EXPECT_EQ(from_root->path, "DCIM/100CANON/IMG_0001.JPG");
    EXPECT_EQ(from_root->size, 7);
    EXPECT_EQ(from_folder->card, from_root->card);
    EXPECT_EQ(from_folder->path, from_root->path);

    const SourceCard bare(d + "first/DCIM", {});
    EXPECT_EQ(bare.file(d + "elsewhere/IMG_0001.JPG"), std::nullopt) << "not in the folder";
    EXPECT_EQ(bare.file(d + "first/DCIM/missing.jpg"), std::nullopt);
}

} // namespace
} // namespace orvix
