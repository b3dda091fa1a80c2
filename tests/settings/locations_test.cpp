#include "platform/dialogs.h"
#include "settings/language.h"
#include "settings/locations.h"
#include "settings/prefs.h"
#include "support/temp_dir.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace orvix {
namespace {

using test::read_file;
using test::TempDir;
using test::write_file;
using namespace std::string_literals;

struct LocationCase {
    const char* name;
    LocationFacts facts;
    const char* data_folder;
    const char* prefs_file;
    std::vector<std::string> language_folders;
};

LocationFacts facts(bool exists, bool writable, const char* config, const char* data,
                    const char* home = "/home/me") {
    return {"/opt/orvix/bin/", exists, writable, config, data, home};
}

TEST(LocationRules, PortableWhenExtraIsWritableElsePerUser) {
    const LocationCase cases[] = {
        {"WritableExtraKeepsEverythingBesideTheProgram",
         facts(true, true, "/cfg", "/data"),
         "/opt/orvix/bin/extra/",
         "/opt/orvix/bin/extra/prefs.prf",
         {"/opt/orvix/bin/extra/languages/"}},
        {"ReadOnlyExtraStillGivesTheDataButNotThePreferences",
         facts(true, false, "/cfg", "/data"),
         "/opt/orvix/bin/extra/",
         "/cfg/orvix/prefs.prf",
         {"/opt/orvix/bin/extra/languages/", "/data/orvix/languages/"}},
        {"InstalledTreeReadsTheSharedDataBesideBin",
         facts(false, false, "/cfg", "/data"),
         "/opt/orvix/share/orvix/extra/",
         "/cfg/orvix/prefs.prf",
         {"/opt/orvix/share/orvix/extra/languages/", "/data/orvix/languages/"}},
        {"UnsetXdgFoldersStandForTheHomeFolders",
         facts(false, false, "", ""),
         "/opt/orvix/share/orvix/extra/",
         "/home/me/.config/orvix/prefs.prf",
         {"/opt/orvix/share/orvix/extra/languages/", "/home/me/.local/share/orvix/languages/"}},
        {"RelativeXdgFoldersAreIgnored",
         facts(false, false, "cfg", "./data"),
         "/opt/orvix/share/orvix/extra/",
         "/home/me/.config/orvix/prefs.prf",
         {"/opt/orvix/share/orvix/extra/languages/", "/home/me/.local/share/orvix/languages/"}},
        {"TrailingAndDoubledSeparatorsAreFolded",
         facts(false, false, "/cfg//me/", "/data/", "/home/me/"),
         "/opt/orvix/share/orvix/extra/",
         "/cfg/me/orvix/prefs.prf",
         {"/opt/orvix/share/orvix/extra/languages/", "/data/orvix/languages/"}},
        {"NoHomeFolderNeverGivesARelativePath",
         facts(false, false, "", "", ""),
         "/opt/orvix/share/orvix/extra/",
         "/.config/orvix/prefs.prf",
         {"/opt/orvix/share/orvix/extra/languages/", "/.local/share/orvix/languages/"}},
        {"RelativeHomeFolderIsNoHome",
         facts(false, false, "", "/data", "home/me"),
         "/opt/orvix/share/orvix/extra/",
         "/.config/orvix/prefs.prf",
         {"/opt/orvix/share/orvix/extra/languages/", "/data/orvix/languages/"}},
        {"ExtraThatIsNoFolderCountsAsAbsent",
         facts(false, true, "/cfg", "/data"),
         "/opt/orvix/share/orvix/extra/",
         "/cfg/orvix/prefs.prf",
         {"/opt/orvix/share/orvix/extra/languages/", "/data/orvix/languages/"}},
    };
    for (const LocationCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Locations where = find_locations(c.facts);
        EXPECT_EQ(where.data_folder, c.data_folder);
        EXPECT_EQ(where.prefs_file, c.prefs_file);
        EXPECT_EQ(where.language_folders, c.language_folders);
    }
}

TEST(LocationRules, TheProcessFactsFollowTheFolderAndTheEnvironment) {
    TempDir dir;
    const std::string program = dir.folder("bin");
    EXPECT_FALSE(system_location_facts(program).extra_exists);
    write_file(program + "extra", "a file, not a folder");
    EXPECT_FALSE(system_location_facts(program).extra_exists);
    std::filesystem::remove(program + "extra");
    dir.folder("bin/extra");
    const LocationFacts writable = system_location_facts(program);
    EXPECT_TRUE(writable.extra_exists && writable.extra_writable);
    {
        test::ReadOnlyFolder read_only(program + "extra");
        if (!read_only.ok())
            GTEST_SKIP() << "cannot make a read-only folder here";
        const LocationFacts facts = system_location_facts(program);
        EXPECT_TRUE(facts.extra_exists);
        EXPECT_FALSE(facts.extra_writable);
    }
    const char* home = std::getenv("HOME");
    EXPECT_EQ(system_location_facts(program).home, home && *home == '/' ? home : writable.home);
    EXPECT_FALSE(writable.home.empty());
}

// A per-user setup in a test folder: shipped data in share/, the user's folders in home/.
class PerUserTest : public ::testing::Test {
protected:
    PerUserTest() {
        m_where.data_folder = m_dir.folder("share/extra");
        m_where.prefs_file = m_dir.path() + "home/config/orvix/prefs.prf";
        m_where.language_folders = {m_dir.folder("share/extra/languages"),
                                    m_dir.path() + "home/data/orvix/languages/"};
        write_file(m_where.data_folder + "prefs.prf", m_shipped);
    }

    TempDir m_dir;
    Locations m_where;
    const std::string m_shipped = "$CURRENT_LANGUAGE=ENGLISH.LNG\r$QUALITYFACTOR=80";
    ScriptedDialogs m_dialogs;
    ScopedDialogs m_scope{m_dialogs};
};

TEST_F(PerUserTest, FirstRunStartsFromTheShippedDefaultAndTheNextReadsTheUsersFile) {
    EXPECT_EQ(first_run_prefs(m_where), m_where.data_folder + "prefs.prf");
    std::string text = load_prefs(m_where);
    EXPECT_EQ(text, m_shipped);
    ASSERT_TRUE(
        save_prefs(m_where, text, {"{same}", "75", "CRE", "/media/card", "/d", 1, 0, 0, 0}));
    EXPECT_EQ(read_file(m_where.data_folder + "prefs.prf"), m_shipped) << "the default stays";

    EXPECT_EQ(first_run_prefs(m_where), "");
    const std::string second = load_prefs(m_where);
    EXPECT_EQ(get_key_value("QUALITYFACTOR", second), "75");
    EXPECT_EQ(get_key_value("CURRENT_LANGUAGE", second), "ENGLISH.LNG");
    EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(PerUserTest, AnythingStandingAtTheUsersPathIsTheUsersOwn) {
    // Even a user file that cannot be read is not replaced by the default behind the
    // user's back: it is reported, and the program starts with the built-in defaults.
    const std::string prefs = m_where.prefs_file;
    std::filesystem::create_directories(prefs);
    EXPECT_EQ(first_run_prefs(m_where), "");
    std::string text = load_prefs(m_where);
    EXPECT_EQ(text, "");
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].title, "Error");
    EXPECT_EQ(m_dialogs.messages()[0].text, std::strerror(EISDIR));
    EXPECT_FALSE(save_prefs(m_where, text, {}));
    EXPECT_EQ(m_dialogs.messages().size(), 2u);
    EXPECT_EQ(read_file(m_where.data_folder + "prefs.prf"), m_shipped);

    std::filesystem::remove(prefs);
    std::filesystem::create_symlink("nowhere", prefs);
    EXPECT_EQ(first_run_prefs(m_where), "") << "a dangling link is the user's too";
}

TEST_F(PerUserTest, AHandEditedUserFileKeepsWhatItCannotRead) {
    write_file(m_where.prefs_file,
               "garbage \0\xff line\n$QUALITYFACTOR=abc\n$SOURCE_PATH=/media/x\n"s);
    std::string text = load_prefs(m_where);
    EXPECT_EQ(get_key_value("SOURCE_PATH", text), "/media/x");
    ASSERT_TRUE(save_prefs(m_where, text, {"", "100", "NO", "/media/y", "", 0, 0, 0, 0}));
    const std::string saved = read_file(m_where.prefs_file);
    EXPECT_TRUE(saved.starts_with("garbage \0\xff line\r"s)) << saved;
    EXPECT_EQ(get_key_value("SOURCE_PATH", load_prefs(m_where)), "/media/y");
    EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(PerUserTest, UsersOwnLanguagesAreListedAfterTheShippedOnesAndWinByName) {
    const std::string shipped = m_where.language_folders[0];
    const std::string own = m_where.language_folders[1];
    write_file(shipped + "ENGLISH.LNG", "name=English");
    write_file(shipped + "FRENCH.LNG", "name=French");
    write_file(own + "FRENCH.LNG", "name=French, corrected");
    write_file(own + "BRETON.lng", "name=Breton");
    const std::pair<const char*, const char*> cases[] = {
        {"", "English"},
        {"$CURRENT_LANGUAGE=FRENCH.lng", "French, corrected"},
        {"$CURRENT_LANGUAGE=BRETON.lng", "Breton"},
        {"$CURRENT_LANGUAGE=GERMAN.lng", "English"},
    };
    for (const auto& [prefs, loaded] : cases) {
        LanguageTable table;
        EXPECT_EQ(load_language(m_where, prefs, table),
                  (std::vector<std::string>{"ENGLISH", "FRENCH", "BRETON"}));
        EXPECT_EQ(table.translate("name"), loaded) << prefs;
    }
    // Only the user's folder: its file is taken though it is no English.
    std::filesystem::remove_all(shipped);
    std::filesystem::remove(own + "BRETON.lng");
    LanguageTable table;
    load_language(m_where, "", table);
    EXPECT_EQ(table.translate("name"), "French, corrected");
    EXPECT_TRUE(m_dialogs.messages().empty());
}

} // namespace
} // namespace orvix
