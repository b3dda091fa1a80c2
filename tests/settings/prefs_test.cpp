#include "platform/dialogs.h"
#include "settings/prefs.h"
#include "support/temp_dir.h"
#include "text/text.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvix {
namespace {

using test::read_file;
using test::write_file;

// Lines written with "|" for readability; the file separates them by CR.
std::string lines(const std::string& text) {
    return Remplacer("|", "\r", text);
}

size_t entries_in(const std::string& folder) {
    const auto it = std::filesystem::directory_iterator(folder);
    return static_cast<size_t>(std::distance(begin(it), end(it)));
}

class PrefsTest : public ::testing::Test {
protected:
    test::TempDir m_dir;
    ScriptedDialogs m_dialogs;
    ScopedDialogs m_scope{m_dialogs};

    void expect_one_system_error(int errno_value) {
        ASSERT_EQ(m_dialogs.messages().size(), 1u);
        EXPECT_EQ(m_dialogs.messages()[0].title, "Error");
        EXPECT_EQ(m_dialogs.messages()[0].text, std::strerror(errno_value));
        EXPECT_EQ(m_dialogs.messages()[0].icon, Icon::Exclamation);
    }
};

TEST_F(PrefsTest, MissingFileShowsOneErrorAndGivesEmptyText) {
    EXPECT_EQ(load_prefs(m_dir.path()), "");
    expect_one_system_error(ENOENT);
}

TEST_F(PrefsTest, OnlyRegularFilesOfASaneSizeAreRead) {
    const std::string fifo = m_dir.path() + "fifo.lng";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = m_dir.path() + "zero.prf";
    ASSERT_EQ(::symlink("/dev/zero", zero.c_str()), 0);
    const std::string large = m_dir.path() + "large.txt";
    write_file(large, "");
    std::filesystem::resize_file(large, (16 << 20) + 1);
    const std::string limit = m_dir.path() + "limit.txt";
    write_file(limit, "");
    std::filesystem::resize_file(limit, 16 << 20);
    const std::pair<std::string, int> refused[] = {
        {fifo, EINVAL},
        {zero, EINVAL},
        {large, EFBIG},
        {m_dir.path(), EISDIR},
        {m_dir.path() + "a" + std::string(1, '\0') + "b", ENOENT},
    };
    for (const auto& [path, error] : refused) {
        m_dialogs.clear();
        EXPECT_EQ(read_text_file(path, false), "") << path;
        expect_one_system_error(error);
    }
    m_dialogs.clear();
    EXPECT_EQ(read_text_file(limit, true).size(), size_t{16} << 20);
    EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(PrefsTest, LineEndsOfEveryKindAreReadAndSavedAsCarriageReturns) {
    const std::pair<std::string, std::string> cases[] = {
        {"$A=1\n$B=2\n", "$A=1\r$B=2\r"},
        {"$A=1\r\n$B=2", "$A=1\r$B=2"},
        // With carriage returns present, a stray line feed belongs to its value.
        {"$A=x\ny\r$B=2", "$A=x\ny\r$B=2"},
    };
    for (const auto& [on_disk, loaded] : cases) {
        SCOPED_TRACE(on_disk);
        write_file(prefs_path(m_dir.path()), on_disk);
        std::string text = load_prefs(m_dir.path());
        EXPECT_EQ(text, loaded);
        ASSERT_TRUE(save_prefs(m_dir.path(), text, {}));
        EXPECT_TRUE(read_file(prefs_path(m_dir.path())).starts_with(lines("$A=")));
        EXPECT_EQ(get_key_value("B", load_prefs(m_dir.path())), "2");
    }
    EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST(KeyValueTest, Lookup) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {lines("$A=1|$SOURCE_PATH=/Media/Cam"), "SOURCE_PATH", "/Media/Cam"},
        {lines("$A=1|$DEST_PATH=/d"), "PATH", ""},
        {"$RENAME_PATTERN=a=b", "RENAME_PATTERN", "a=b"},
        {"$source_path=/x", "SOURCE_PATH", "/x"},
        {lines("$A=old|$A=new"), "A", "old"},
        // A stray character before the pattern: the cut still counts from the line start.
        {"x$A=value", "A", "=value"},
    };
    for (const auto& [text, key, value] : cases)
        EXPECT_EQ(get_key_value(key, text), value) << text;
}

TEST(KeyValueTest, Setting) {
    const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
        {"", "A", "1", "$A=1"},
        {"$A=1", "A", "2", "$A=2"},
        {lines("$A=1|$B=2|$C=3"), "A", "9", lines("$B=2|$C=3|$A=9")},
        {lines("$A=1|$B=2|$C=3"), "B", "9", lines("$A=1|$C=3|$B=9")},
        {lines("$A=1|$B=2|$C=3"), "C", "9", lines("$A=1|$B=2|$C=9")},
        {lines("||$A=1||$B=2|"), "C", "3", lines("$A=1|$B=2|$C=3")},
        // A line break in a plain value would smuggle in a line of its own.
        {"$A=1", "B", "x\r\n$C=injected\ny", lines("$A=1|$B=x$C=injectedy")},
    };
    for (auto [text, key, value, after] : cases) {
        set_key_value(key, text, value);
        EXPECT_EQ(text, after);
    }
}

TEST(KeyValueTest, KeyWrittenTwiceKeepsOneStaleLine) {
    std::string text = lines("$QUALITYFACTOR=10|$QUALITYFACTOR=20");
    set_key_value("QUALITYFACTOR", text, "30");
    EXPECT_EQ(get_key_value("QUALITYFACTOR", text), "20");
    set_key_value("QUALITYFACTOR", text, "40");
    EXPECT_EQ(text, lines("$QUALITYFACTOR=30|$QUALITYFACTOR=40"));
}

TEST(KeyValueTest, LowerCaseLineIsFoundButNotReplaced) {
    std::string text = "$source_path=/old";
    set_key_value("SOURCE_PATH", text, "/new");
    set_key_value("SOURCE_PATH", text, "/newer");
    EXPECT_EQ(text, lines("$source_path=/old|$SOURCE_PATH=/newer"));
    EXPECT_EQ(get_key_value("SOURCE_PATH", text), "/old");
}

TEST_F(PrefsTest, MailRecipientsWithCommasAndLineBreaksSurviveSaveAndLoad) {
    for (const std::string dests : {"Doe, Jane <jane@y.org>\ra@x.org", "a@x.org\r\nb, c@z.org"}) {
        std::string text;
        set_key_value("MAILDESTS", text, dests, "$", "=", true);
        EXPECT_EQ(get_key_value("MAILDESTS", text).find_first_of(",\r"), std::string::npos);
        ASSERT_TRUE(save_prefs(m_dir.path(), text, {}));
        EXPECT_EQ(get_key_value("MAILDESTS", load_prefs(m_dir.path()), "$", "=", true), dests);
    }
    EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(PrefsTest, SaveMakesExtraAndWritesTheNineKeysLastInTheirOrder) {
    const std::string program = m_dir.path() + "new/program/";
    std::string text = lines("$OPEN_ASLEEP=1|$CURRENT_LANGUAGE=ENGLISH.LNG|$SOURCE_PATH=/old");
    const MainWindowPrefs values{"{same}", "75abc", "OTHER", "/media/cam", "/home/Été=1", 1,
                                 0,        1,       0};
    ASSERT_TRUE(save_prefs(program, text, values));
    const std::string expected =
        lines("$CURRENT_LANGUAGE=ENGLISH.LNG|$RENAME_PATTERN={same}|$QUALITYFACTOR=75abc|"
              "$RENAME_WITH=OTHER|$SOURCE_PATH=/media/cam|$DEST_PATH=/home/Été=1|$CREATE_SUBDIR=1|"
              "$DELETE_ORIGINAL=0|$SHOW_THUMBS=1|$OPEN_ASLEEP=0");
    EXPECT_EQ(text, expected);
    EXPECT_EQ(read_file(prefs_path(program)), expected);
}

TEST_F(PrefsTest, WriteReplacesTheTextExactlyAndKeepsTheMode) {
    const std::string path = m_dir.file("prefs.prf");
    write_file(path, "old text, longer than the new one");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(write_text_file(path, "$A=1\r$B=2"));
    EXPECT_EQ(read_file(path), "$A=1\r$B=2");
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              static_cast<std::filesystem::perms>(0640));
    EXPECT_EQ(entries_in(m_dir.path()), 1u);
}

TEST_F(PrefsTest, FailedWriteLeavesTheOldFileIntactAndNoTemporaryFile) {
    struct Case {
        const char* name;
        int error;
        int64_t volume_bytes; // 0: no volume needed
        bool read_only;
    };
    const Case cases[] = {{"target is a folder", EISDIR, 0, false},
                          {"full disk", ENOSPC, 64 * 1024, false},
                          {"read-only volume", EROFS, 64 * 1024, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_dialogs.clear();
        std::optional<test::SmallVolume> volume;
        if (c.volume_bytes > 0) {
            volume.emplace(c.volume_bytes);
            if (!volume->ok())
                continue; // mounting needs root, as in CI
        }
        const std::string folder = volume ? volume->path() : m_dir.folder(c.name);
        const std::string path = folder + "prefs.prf";
        const std::string old_text = "$SOURCE_PATH=/media/cam";
        if (c.error == EISDIR)
            std::filesystem::create_directory(path);
        else
            write_file(path, old_text);
        // Root ignores permission bits, so only a read-only mount refuses the write.
        if (c.read_only) {
            ASSERT_EQ(mount("tmpfs", folder.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0);
        }
        EXPECT_FALSE(write_text_file(path, std::string(1 << 20, 'x')));
        expect_one_system_error(c.error);
        if (c.error != EISDIR) {
            EXPECT_EQ(read_file(path), old_text);
        }
        EXPECT_EQ(entries_in(folder), 1u);
    }
}

} // namespace
} // namespace orvix
