#include "platform/dialogs.h"
#include "settings/prefs.h"
#include "support/temp_dir.h"
#include "text/text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

namespace orvix {
namespace {

using test::read_file;
using test::TempDir;
using test::write_file;

// Lines written with "|" for readability; the file format separates them by CR.
std::string lines(const std::string& bar_separated) {
    return Remplacer("|", "\r", bar_separated);
}

std::vector<std::string> folder_entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class PrefsTest : public ::testing::Test {
protected:
    TempDir m_dir;
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
    EXPECT_EQ(get_key_value("SOURCE_PATH", ""), "");
}

TEST_F(PrefsTest, FolderInsteadOfFileIsAnErrorToo) {
    m_dir.folder("extra/prefs.prf");
    EXPECT_EQ(load_prefs(m_dir.path()), "");
    expect_one_system_error(EISDIR);
}

TEST_F(PrefsTest, LineEndsOfEveryKindBecomeCarriageReturns) {
    struct Case {
        const char* name;
        std::string on_disk;
        std::string loaded;
    };
    const Case cases[] = {
        {"bare LF", "$A=1\n$B=2\n", "$A=1\r$B=2\r"},
        {"CR LF", "$A=1\r\n$B=2", "$A=1\r$B=2"},
        {"bare CR", "$A=1\r$B=2", "$A=1\r$B=2"},
        // With carriage returns present, a stray line feed is part of a value.
        {"CR with a stray LF", "$A=x\ny\r$B=2", "$A=x\ny\r$B=2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(prefs_path(m_dir.path()), c.on_disk);
        const std::string text = load_prefs(m_dir.path());
        EXPECT_EQ(text, c.loaded);
        EXPECT_EQ(get_key_value("B", text), "2");
    }
    EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(PrefsTest, SavedFileHasBareCarriageReturnsAfterAnLfOnlyLoad) {
    write_file(prefs_path(m_dir.path()), "$CURRENT_LANGUAGE=FRENCH.lng\n$QUALITYMAIL=70\n");
    std::string text = load_prefs(m_dir.path());
    ASSERT_TRUE(save_prefs(m_dir.path(), text, {}));
    const std::string saved = read_file(prefs_path(m_dir.path()));
    EXPECT_EQ(saved.find('\n'), std::string::npos);
    EXPECT_NE(saved.back(), '\r');
    EXPECT_TRUE(saved.starts_with(lines("$CURRENT_LANGUAGE=FRENCH.lng|$QUALITYMAIL=70|")));
}

TEST_F(PrefsTest, ReadKeepsCrLfOnlyWhenAsked) {
    const std::string path = m_dir.file("infos.txt");
    write_file(path, "one\r\ntwo\r\n");
    EXPECT_EQ(read_text_file(path, true), "one\r\ntwo\r\n");
    EXPECT_EQ(read_text_file(path, false), "one\rtwo\r");
}

TEST(KeyValueTest, Lookup) {
    struct Case {
        const char* name;
        std::string text;
        std::string key;
        std::string value;
    };
    const Case cases[] = {
        {"present", lines("$A=1|$SOURCE_PATH=/media/cam|$B=2"), "SOURCE_PATH", "/media/cam"},
        {"absent", lines("$A=1|$B=2"), "SOURCE_PATH", ""},
        {"empty value", lines("$A=|$B=2"), "A", ""},
        {"value holding =", lines("$RENAME_PATTERN=a=b=c"), "RENAME_PATTERN", "a=b=c"},
        {"lower-case line", lines("$source_path=/x"), "SOURCE_PATH", "/x"},
        {"value case kept", lines("$SOURCE_PATH=/Media/Cam"), "SOURCE_PATH", "/Media/Cam"},
        {"first of two", lines("$A=old|$A=new"), "A", "old"},
        {"no partial key", lines("$DEST_PATH=/d"), "PATH", ""},
        // A stray character before the pattern: the cut still counts from the line start.
        {"stray character", lines("x$A=value"), "A", "=value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(get_key_value(c.key, c.text), c.value);
    }
}

TEST(KeyValueTest, Setting) {
    struct Case {
        const char* name;
        std::string before;
        std::string key;
        std::string value;
        std::string after;
    };
    const Case cases[] = {
        {"into empty text", "", "A", "1", "$A=1"},
        {"only line", "$A=1", "A", "2", "$A=2"},
        {"first line moves to the end", lines("$A=1|$B=2|$C=3"), "A", "9", lines("$B=2|$C=3|$A=9")},
        {"middle line", lines("$A=1|$B=2|$C=3"), "B", "9", lines("$A=1|$C=3|$B=9")},
        {"last line", lines("$A=1|$B=2|$C=3"), "C", "9", lines("$A=1|$B=2|$C=9")},
        {"new key appended", lines("$A=1"), "B", "2", lines("$A=1|$B=2")},
        {"empty lines dropped", lines("||$A=1||$B=2||"), "C", "3", lines("$A=1|$B=2|$C=3")},
        {"only the first of two removed", lines("$A=old|$B=2|$A=older"), "A", "new",
         lines("$B=2|$A=older|$A=new")},
        {"lower-case line left alone", lines("$source_path=/x"), "SOURCE_PATH", "/y",
         lines("$source_path=/x|$SOURCE_PATH=/y")},
        {"empty value", lines("$A=1"), "A", "", "$A="},
        {"line breaks never reach a plain value", lines("$A=1"), "B", "x\r\n$C=injected\ny",
         lines("$A=1|$B=x$C=injectedy")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = c.before;
        set_key_value(c.key, text, c.value);
        EXPECT_EQ(text, c.after);
    }
}

TEST(KeyValueTest, KeyWrittenTwiceKeepsOneStaleLine) {
    std::string text = lines("$QUALITYFACTOR=10|$QUALITYFACTOR=20");
    set_key_value("QUALITYFACTOR", text, "30");
    // Only the first line goes; the older second line is now the one found.
    EXPECT_EQ(get_key_value("QUALITYFACTOR", text), "20");
    set_key_value("QUALITYFACTOR", text, "40");
    EXPECT_EQ(text, lines("$QUALITYFACTOR=30|$QUALITYFACTOR=40"));
    EXPECT_EQ(get_key_value("QUALITYFACTOR", text), "30");
}

TEST(KeyValueTest, LowerCaseLineStaysTheOneFound) {
    std::string text = "$source_path=/old";
    set_key_value("SOURCE_PATH", text, "/new");
    set_key_value("SOURCE_PATH", text, "/newer");
    EXPECT_EQ(text, lines("$source_path=/old|$SOURCE_PATH=/newer"));
    EXPECT_EQ(get_key_value("SOURCE_PATH", text), "/old");
}

TEST(KeyValueTest, EncodedValuesKeepCommasAndLineBreaks) {
    const std::string dests = "a@x.org\rDoe, Jane <jane@y.org>\rb@z.org";
    std::string text = "$A=1";
    set_key_value("MAILDESTS", text, dests, "$", "=", true);
    EXPECT_EQ(text, lines("$A=1|$MAILDESTS=a@x.org<BR>Doe<;> Jane <jane@y.org><BR>b@z.org"));
    EXPECT_EQ(get_key_value("MAILDESTS", text, "$", "=", true), dests);
    EXPECT_EQ(get_key_value("MAILDESTS", text), "a@x.org<BR>Doe<;> Jane <jane@y.org><BR>b@z.org");
}

TEST_F(PrefsTest, MailRecipientsSurviveSaveAndLoad) {
    for (const std::string dests : {"Doe, Jane <jane@y.org>\ra@x.org", "a@x.org\r\nb, c@z.org"}) {
        SCOPED_TRACE(dests);
        std::string text;
        set_key_value("MAILDESTS", text, dests, "$", "=", true);
        ASSERT_TRUE(save_prefs(m_dir.path(), text, {}));
        const std::string loaded = load_prefs(m_dir.path());
        EXPECT_EQ(get_key_value("MAILDESTS", loaded, "$", "=", true), dests);
    }
    EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(PrefsTest, SaveWritesTheNineKeysLastInTheirOrder) {
    std::string text = lines("$OPEN_ASLEEP=1|$CURRENT_LANGUAGE=ENGLISH.LNG|$SOURCE_PATH=/old|"
                             "$QUALITYMAIL=50");
    MainWindowPrefs values;
    values.rename_pattern = "{sameupper}_{creationdate}";
    values.quality = "75abc";
    values.rename_with = "OTHER";
    values.source_path = "/media/cam/DCIM";
    values.dest_path = "/home/me/Pictures/Été=2024";
    values.create_subdir = 1;
    values.delete_original = 0;
    values.show_thumbs = 1;
    values.open_asleep = 0;
    ASSERT_TRUE(save_prefs(m_dir.path(), text, values));

    const std::string expected = lines("$CURRENT_LANGUAGE=ENGLISH.LNG|$QUALITYMAIL=50|"
                                       "$RENAME_PATTERN={sameupper}_{creationdate}|"
                                       "$QUALITYFACTOR=75abc|$RENAME_WITH=OTHER|"
                                       "$SOURCE_PATH=/media/cam/DCIM|"
                                       "$DEST_PATH=/home/me/Pictures/Été=2024|"
                                       "$CREATE_SUBDIR=1|$DELETE_ORIGINAL=0|$SHOW_THUMBS=1|"
                                       "$OPEN_ASLEEP=0");
    EXPECT_EQ(text, expected);
    EXPECT_EQ(read_file(prefs_path(m_dir.path())), expected);
    EXPECT_EQ(get_key_value("DEST_PATH", load_prefs(m_dir.path())), values.dest_path);
}

TEST_F(PrefsTest, SaveMakesTheExtraFolder) {
    const std::string program = m_dir.path() + "new/program/";
    std::string text;
    ASSERT_TRUE(save_prefs(program, text, {}));
    EXPECT_EQ(get_key_value("SHOW_THUMBS", read_file(prefs_path(program))), "0");
}

TEST_F(PrefsTest, SaveReportsAnExtraFolderThatCannotBeMade) {
    write_file(m_dir.file("extra"), "a file where the folder should be");
    std::string text;
    EXPECT_FALSE(save_prefs(m_dir.path(), text, {}));
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].title, "Error");
}

TEST_F(PrefsTest, WriteReplacesTheTextExactlyAndKeepsTheMode) {
    const std::string path = m_dir.file("extra/prefs.prf");
    write_file(path, "old text that is longer than the new one");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(write_text_file(path, "$A=1\r$B=2"));
    EXPECT_EQ(read_file(path), "$A=1\r$B=2");
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(folder_entries(m_dir.path() + "extra"), std::vector<std::string>{"prefs.prf"});
}

TEST_F(PrefsTest, FailedWriteOntoAFolderLeavesNoTemporaryFile) {
    m_dir.folder("extra/prefs.prf");
    EXPECT_FALSE(write_text_file(prefs_path(m_dir.path()), "$A=1"));
    expect_one_system_error(EISDIR);
    EXPECT_EQ(folder_entries(m_dir.path() + "extra"), std::vector<std::string>{"prefs.prf"});
}

TEST_F(PrefsTest, FullDiskLeavesTheOldFileIntact) {
    test::SmallVolume volume(64 * 1024);
    if (!volume.ok())
        GTEST_SKIP() << "needs root to mount a small file system";
    const std::string path = volume.path() + "prefs.prf";
    write_file(path, "$SOURCE_PATH=/media/cam");
    EXPECT_FALSE(write_text_file(path, std::string(1 << 20, 'x')));
    expect_one_system_error(ENOSPC);
    EXPECT_EQ(read_file(path), "$SOURCE_PATH=/media/cam");
    EXPECT_EQ(folder_entries(volume.path()), std::vector<std::string>{"prefs.prf"});
}

TEST_F(PrefsTest, ReadOnlyVolumeLeavesTheOldFileIntact) {
    test::SmallVolume volume(64 * 1024);
    if (!volume.ok())
        GTEST_SKIP() << "needs root to mount a small file system";
    const std::string program = volume.path();
    write_file(prefs_path(program), "$SOURCE_PATH=/media/cam");
    // Root ignores permission bits, so only a read-only mount refuses the write.
    ASSERT_EQ(mount("tmpfs", program.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0);
    std::string text = load_prefs(program);
    EXPECT_FALSE(save_prefs(program, text, {}));
    expect_one_system_error(EROFS);
    EXPECT_EQ(read_file(prefs_path(program)), "$SOURCE_PATH=/media/cam");
}

} // namespace
} // namespace orvix
