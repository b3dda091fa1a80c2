#include "platform/dialogs.h"
#include "settings/language.h"
#include "settings/prefs.h"
#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace orvix {
namespace {

using test::TempDir;
using test::write_file;

TEST(LanguageTableTest, Parsing) {
    struct Case {
        const char* name;
        std::string text;
        std::string key;
        std::string value;
        size_t entries;
    };
    const Case cases[] = {
        {"trimmed line", "tab_setup=Setup\r  browse=Browse...  \rA comment line", "browse",
         "Browse...", 2},
        {"comment ignored", "# comment\rbrowse=Browse", "# comment", "", 1},
        {"value holding =", "send_mail=Send: a=b", "send_mail", "Send: a=b", 1},
        {"first definition wins", "browse=One\rbrowse=Two", "browse", "One", 2},
        {"key with a space never matches", "browse = Browse", "browse", "", 1},
        {"key keeps its space", "browse = Browse", "browse ", " Browse", 1},
        {"tabs are spaces", "\tbrowse=Browse\t", "browse", "Browse", 1},
        {"inner tab becomes a space", "browse=A\tB", "browse", "A B", 1},
        {"empty value", "browse=", "browse", "", 1},
        {"keys are case-sensitive", "Browse=X", "browse", "", 1},
        {"CR LF lines", "a=1\r\nbrowse=Browse\r\n", "browse", "Browse", 2},
        {"LF lines of a Linux editor", "a=1\nbrowse=Browse\n", "browse", "Browse", 2},
        {"byte order mark skipped",
         "\xEF\xBB\xBF"
         "browse=Browse",
         "browse", "Browse", 1},
        {"markers kept", "same_name=#1 exists.<BR>Other name?", "same_name",
         "#1 exists.<BR>Other name?", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LanguageTable table;
        table.parse_language_text(c.text);
        EXPECT_EQ(table.translate(c.key), c.value);
        EXPECT_EQ(table.size(), c.entries);
    }
}

TEST(LanguageTableTest, ParsingReplacesTheWholeTable) {
    LanguageTable table;
    table.parse_language_text("browse=Browse\rexplore=Open");
    table.parse_language_text("explore=Ouvrir");
    EXPECT_EQ(table.translate("browse"), "");
    EXPECT_EQ(table.translate("explore"), "Ouvrir");
    EXPECT_EQ(table.size(), 1u);
}

TEST(LanguageTableTest, DecodeTurnsMarkersBack) {
    LanguageTable table;
    table.parse_language_text("k=a<BR>b<;>c #1");
    EXPECT_EQ(table.translate("k"), "a<BR>b<;>c #1");
    EXPECT_EQ(table.translate("k", true), "a\rb,c #1");
}

class LoadLanguageTest : public ::testing::Test {
protected:
    TempDir m_dir;
    ScriptedDialogs m_dialogs;
    ScopedDialogs m_scope{m_dialogs};
    LanguageTable m_table;

    void add_language(const std::string& relative, const std::string& name) {
        write_file(languages_folder(m_dir.path()) + relative, "# test file\rname=" + name);
    }
    std::vector<std::string> load(const std::string& prefs_text) {
        return load_language(m_dir.path(), prefs_text, m_table);
    }
};

TEST_F(LoadLanguageTest, ChoosesTheNamedFileOrFallsBackSilently) {
    add_language("ENGLISH.LNG", "English");
    add_language("FRENCH.LNG", "French");
    add_language("more/ITALIAN.lng", "Italian");
    struct Case {
        std::string prefs;
        std::string loaded;
    };
    const Case cases[] = {
        {"", "English"},
        {"$CURRENT_LANGUAGE=", "English"},
        {"$CURRENT_LANGUAGE=FRENCH.LNG", "French"},
        // What the language list stores: its text followed by ".lng".
        {"$CURRENT_LANGUAGE=FRENCH.lng", "French"},
        {"$CURRENT_LANGUAGE=GERMAN.lng", "English"},
        {"$CURRENT_LANGUAGE=more/ITALIAN.lng", "Italian"},
        // The list shows a subfolder's file by its bare name.
        {"$CURRENT_LANGUAGE=ITALIAN.lng", "Italian"},
        {"$CURRENT_LANGUAGE=../prefs.prf", "English"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.prefs);
        const std::vector<std::string> names = load(c.prefs);
        EXPECT_EQ(m_table.translate("name"), c.loaded);
        ASSERT_EQ(names.size(), 3u);
        // A folder's files come before its subfolders' files.
        EXPECT_EQ(names[2], "ITALIAN");
        EXPECT_TRUE((names[0] == "ENGLISH" && names[1] == "FRENCH") ||
                    (names[0] == "FRENCH" && names[1] == "ENGLISH"));
    }
    EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(LoadLanguageTest, DefaultNameFoundWhateverItsCase) {
    add_language("english.lng", "English");
    load("");
    EXPECT_EQ(m_table.translate("name"), "English");
    EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(LoadLanguageTest, WithoutEnglishTheFirstListedFileIsUsed) {
    add_language("FRENCH.LNG", "French");
    EXPECT_EQ(load("$CURRENT_LANGUAGE=GERMAN.lng"), std::vector<std::string>{"FRENCH"});
    EXPECT_EQ(m_table.translate("name"), "French");
    EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(LoadLanguageTest, NoLanguageFileShowsTheMessageAndEmptiesTheTable) {
    m_table.parse_language_text("name=stale");
    for (const bool with_other_file : {false, true}) {
        SCOPED_TRACE(with_other_file);
        m_dialogs.clear();
        if (with_other_file)
            write_file(languages_folder(m_dir.path()) + "README.txt", "name=not a language");
        EXPECT_TRUE(load("").empty());
        EXPECT_EQ(m_table.size(), 0u);
        ASSERT_EQ(m_dialogs.messages().size(), 1u);
        const ScriptedDialogs::Message& message = m_dialogs.messages()[0];
        EXPECT_EQ(message.text,
                  "No language file found. Interface errors may occur... Re-install Orvix.");
        EXPECT_EQ(message.title, "");
        EXPECT_EQ(message.icon, Icon::None);
        EXPECT_EQ(message.buttons, Buttons::Ok);
    }
}

// --- The files the program ships ----------------------------------------------------------

// The shipped extra/ folder of the source tree; "" when the test runs outside CTest.
std::string shipped_extra() {
    const char* source = std::getenv("ORVIX_SOURCE_DIR");
    return source ? std::string(source) + "/resources/extra/" : "";
}

// Which of the markers the program replaces a text holds.
std::string markers(const std::string& value) {
    std::string found;
    for (const char* marker : {"#1", "#2", "<BR>"}) {
        if (value.find(marker) != std::string::npos)
            found += found.empty() ? marker : std::string(" ") + marker;
    }
    return found;
}

struct UsedKey {
    const char* key;
    const char* markers;
};

// Every key the program asks for, with the markers its caller replaces. "<BR>" appears
// only where the caller turns it into a line break; anywhere else it would show as is.
const UsedKey USED_KEYS[] = {
    {"language", ""},
    {"tab_imagetransfer", ""},
    {"tab_setup", ""},
    {"tab_info", ""},
    {"generic_source", ""},
    {"generic_destination", ""},
    {"browse", ""},
    {"explore", ""},
    {"btn_transfer", ""},
    {"copy_nochange", ""},
    {"copy_creationdate", ""},
    {"copy_modificationdate", ""},
    {"copy_otherrename", ""},
    {"otherrename_info", "<BR>"},
    {"create_subdirs", ""},
    {"delete_originals", ""},
    {"start_aspleep", ""},
    {"show_thumbs", ""},
    {"fileformat", ""},
    {"noconversion", ""},
    {"qualitylabel", ""},
    {"tb_rotate", ""},
    {"tb_rotate90CW", ""},
    {"tb_rotate180CW", ""},
    {"tb_rotate270CW", ""},
    {"tb_fliph", ""},
    {"tb_flipv", ""},
    {"tb_crop", ""},
    {"tb_resize", ""},
    {"big_axis", "#1"},
    {"tb_delete", ""},
    {"send_mail", ""},
    {"x_pictures_transferable", "#1"},
    {"no_picture_transferable", ""},
    {"source_unavailable", ""},
    {"how_free", "#1"},
    {"how_freepics", "#1"},
    {"select_sourcedir", ""},
    {"select_destdir", ""},
    {"progress_transfer", "#1 #2"},
    {"same_name", "#1 <BR>"},
    {"copy_error", "#1"},
    {"end_transfer", "#1"},
    {"no_error", ""},
    {"x_failed", "#1"},
    {"no_room", ""},
    {"source_notfound", ""},
    {"dest_notfound", ""},
    {"dest_inside_source", ""},
    {"confirm_delete", "#1"},
    {"choose_size", ""},
    {"infolabel", "<BR>"},
    {"btn_prepare", ""},
    {"btn_cancel", ""},
    {"label_dest", ""},
    {"label_subject", ""},
    {"label_message", ""},
    {"label_size", ""},
    {"label_quality", ""},
    {"default_object", "#1"},
    {"dim_idem", ""},
    {"confirm_send", "#1 #2"},
};

TEST(ShippedFilesTest, EveryUsedKeyInBothLanguagesWithItsMarkers) {
    ASSERT_NE(shipped_extra(), "") << "ORVIX_SOURCE_DIR is not set";
    ScriptedDialogs silent;
    ScopedDialogs scope(silent);
    for (const char* file : {"ENGLISH.LNG", "FRENCH.LNG"}) {
        SCOPED_TRACE(file);
        LanguageTable table;
        table.parse_language_text(read_text_file(shipped_extra() + "languages/" + file, false));
        for (const UsedKey& used : USED_KEYS) {
            SCOPED_TRACE(used.key);
            const std::string value = table.translate(used.key);
            EXPECT_FALSE(value.empty());
            EXPECT_EQ(markers(value), used.markers);
        }
        // As many entries as used keys: no key twice, no misspelt key that nobody asks for.
        EXPECT_EQ(table.size(), std::size(USED_KEYS));
        // The progress bar fills its own tokens into a caption of its own.
        EXPECT_EQ(table.translate("progress_transfer").find('{'), std::string::npos);
        const std::string tokens = table.translate("otherrename_info");
        for (const char* token :
             {"{same}", "{samelower}", "{sameupper}", "{creationdate}", "{modificationdate}"})
            EXPECT_NE(tokens.find(token), std::string::npos) << token;
    }
    EXPECT_TRUE(silent.messages().empty());
}

TEST(ShippedFilesTest, FirstRunStartsInEnglishFromTheDefaultPreferences) {
    ASSERT_NE(shipped_extra(), "") << "ORVIX_SOURCE_DIR is not set";
    TempDir program;
    std::filesystem::copy(shipped_extra(), program.path() + "extra",
                          std::filesystem::copy_options::recursive);
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);

    const std::string raw = test::read_file(prefs_path(program.path()));
    EXPECT_EQ(raw.find('\n'), std::string::npos);
    EXPECT_NE(raw.back(), '\r');

    const std::string prefs = load_prefs(program.path());
    EXPECT_EQ(get_key_value("QUALITYFACTOR", prefs), "80");
    EXPECT_EQ(get_key_value("SHOW_THUMBS", prefs), "1");
    EXPECT_EQ(get_key_value("RENAME_WITH", prefs), "NO");
    EXPECT_EQ(get_key_value("FILECONVERSION", prefs), "0");
    // The stored name is the shipped file's exact name, so no lookup ignoring case is needed.
    const std::string language = get_key_value("CURRENT_LANGUAGE", prefs);
    EXPECT_TRUE(std::filesystem::is_regular_file(languages_folder(program.path()) + language));

    LanguageTable table;
    const std::vector<std::string> names = load_language(program.path(), prefs, table);
    EXPECT_EQ(names.size(), 2u);
    EXPECT_EQ(table.translate("tb_crop"), "Crop");
    EXPECT_TRUE(dialogs.messages().empty());

    const std::string infos = read_text_file(program.path() + "extra/infos.txt", true);
    for (const char* needed : {"{same}", "{samelower}", "{sameupper}", "{creationdate}",
                               "{modificationdate}", "YYYYMMDDHHMMSS"})
        EXPECT_NE(infos.find(needed), std::string::npos) << needed;
}

} // namespace
} // namespace orvix
