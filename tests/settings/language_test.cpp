#include "platform/dialogs.h"
#include "settings/language.h"
#include "settings/locations.h"
#include "settings/prefs.h"
#include "support/temp_dir.h"
#include "text/text.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace orvix {
namespace {

using test::TempDir;
using test::write_file;

TEST(LanguageTableTest, Parsing) {
    const std::tuple<std::string, std::string, std::string, size_t> cases[] = {
        {"tab_setup=Setup\r  browse=Browse...  \rA comment line", "browse", "Browse...", 2},
        {"send_mail=Send: a=b", "send_mail", "Send: a=b", 1},
        {"browse=One\rbrowse=Two", "browse", "One", 2},
        // Nothing is trimmed around "=": such a key never matches.
        {"browse = Browse", "browse", "", 1},
        {"\tbrowse=A\tB\t", "browse", "A B", 1},
        {"Browse=X", "browse", "", 1},
        {"a=1\nbrowse=Browse\n", "browse", "Browse", 2},
        {"\xEF\xBB\xBF"
         "browse=Browse\r\n",
         "browse", "Browse", 1},
        {"k=#1<BR><;>", "k", "#1<BR><;>", 1},
    };
    for (const auto& [text, key, value, entries] : cases) {
        SCOPED_TRACE(text);
        LanguageTable table;
        table.parse_language_text(text);
        EXPECT_EQ(table.translate(key), value);
        EXPECT_EQ(table.size(), entries);
    }
    LanguageTable table;
    table.parse_language_text("k=a<BR>b<;>c");
    EXPECT_EQ(table.translate("k", true), "a\rb,c");
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
        return load_language(portable_locations(m_dir.path()), prefs_text, m_table);
    }
};

TEST_F(LoadLanguageTest, ChoosesTheNamedFileOrFallsBackSilently) {
    add_language("ENGLISH.LNG", "English");
    add_language("FRENCH.LNG", "French");
    add_language("more/ITALIAN.lng", "Italian");
    const std::pair<std::string, std::string> cases[] = {
        {"", "English"},
        {"$CURRENT_LANGUAGE=FRENCH.LNG", "French"},
        // What the language list stores: its text followed by ".lng".
        {"$CURRENT_LANGUAGE=FRENCH.lng", "French"},
        {"$CURRENT_LANGUAGE=GERMAN.lng", "English"},
        {"$CURRENT_LANGUAGE=more/ITALIAN.lng", "Italian"},
        // The list shows a subfolder's file by its bare name.
        {"$CURRENT_LANGUAGE=ITALIAN.lng", "Italian"},
        {"$CURRENT_LANGUAGE=../prefs.prf", "English"},
    };
    for (const auto& [prefs, loaded] : cases) {
        const std::vector<std::string> names = load(prefs);
        EXPECT_EQ(m_table.translate("name"), loaded) << prefs;
        ASSERT_EQ(names.size(), 3u);
        // A folder's files come before its subfolders' files.
        EXPECT_EQ(names[2], "ITALIAN");
    }
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
        const ScriptedDialogs::Message& box = m_dialogs.messages()[0];
        EXPECT_EQ(box.text,
                  "No language file found. Interface errors may occur... Re-install Orvix.");
        EXPECT_TRUE(box.title.empty() && box.icon == Icon::None && box.buttons == Buttons::Ok);
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

// Every key the program asks for, with the markers its caller replaces. "<BR>" belongs
// only where the caller turns it into a line break; anywhere else it would show as is.
const std::pair<const char*, const char*> MARKED_KEYS[] = {
    {"otherrename_info", "<BR>"}, {"big_axis", "#1"},          {"x_pictures_transferable", "#1"},
    {"how_free", "#1"},           {"how_freepics", "#1"},      {"progress_transfer", "#1 #2"},
    {"same_name", "#1 <BR>"},     {"copy_error", "#1"},        {"end_transfer", "#1"},
    {"x_failed", "#1"},           {"confirm_delete", "#1"},    {"infolabel", "<BR>"},
    {"default_object", "#1"},     {"confirm_send", "#1 #2"},   {"x_not_deleted", "#1"},
    {"use_card", "#1"},           {"edit_failed", "#1 <BR>"},  {"transfer_stopped", "#1 #2"},
    {"xfer_info", "#1 #2"},       {"job_error", "#1"},         {"turn_not_exact", "#1 #2"},
    {"mail_send_failed", "#1"},   {"reason_other", "#1"},      {"mail_left_out", "#1 <BR>"},
    {"thumb_failed", "#1 <BR>"},  {"x_no_capture_date", "#1"}, {"new_pictures", "#1 #2"},
    {"no_history", "#1 <BR>"},    {"x_kept_tagged", "#1"},
};
const char* const PLAIN_KEYS =
    "qt_translation language tab_imagetransfer tab_setup tab_info generic_source "
    "generic_destination browse "
    "explore btn_transfer copy_nochange copy_creationdate copy_modificationdate copy_capturedate "
    "copy_otherrename create_subdirs delete_originals start_aspleep show_thumbs fileformat "
    "noconversion qualitylabel tb_rotate tb_rotate90CW tb_rotate180CW tb_rotate270CW tb_fliph "
    "tb_flipv tb_crop tb_resize tb_delete send_mail no_picture_transferable source_unavailable "
    "select_sourcedir select_destdir no_error no_room source_notfound dest_notfound "
    "dest_inside_source btn_cancelxfer choose_size btn_prepare btn_cancel label_dest label_subject "
    "label_message label_size label_quality dim_idem turn_trim turn_reencode "
    "mail_no_client mail_file_unreadable reason_unreadable reason_format reason_damaged "
    "reason_too_large reason_write reason_read_only reason_gone reason_full reason_unverified "
    "reason_no_mail_folder "
    "reason_no_free_name progress_edit only_new auto_rotate resize_other";

TEST(ShippedFilesTest, EveryUsedKeyInBothLanguagesWithItsMarkers) {
    ASSERT_NE(shipped_extra(), "") << "ORVIX_SOURCE_DIR is not set";
    ScriptedDialogs silent;
    ScopedDialogs scope(silent);
    for (const char* file : {"ENGLISH.LNG", "FRENCH.LNG"}) {
        SCOPED_TRACE(file);
        LanguageTable table;
        table.parse_language_text(read_text_file(shipped_extra() + "languages/" + file, false));
        std::vector<std::pair<std::string, std::string>> used;
        for (const std::string& key : split(PLAIN_KEYS, " "))
            used.emplace_back(key, "");
        used.insert(used.end(), std::begin(MARKED_KEYS), std::end(MARKED_KEYS));
        for (const auto& [key, expected] : used) {
            EXPECT_NE(table.translate(key), "") << key;
            EXPECT_EQ(markers(table.translate(key)), expected) << key;
        }
        // As many entries as used keys: no key twice, no misspelt key that nobody asks for.
        EXPECT_EQ(table.size(), used.size());
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

    const std::string prefs = load_prefs(portable_locations(program.path()));
    EXPECT_EQ(get_key_value("QUALITYFACTOR", prefs), "80");
    EXPECT_EQ(get_key_value("SHOW_THUMBS", prefs), "1");
    // The stored name is the shipped file's exact name, so no lookup ignoring case is needed.
    const std::string language = get_key_value("CURRENT_LANGUAGE", prefs);
    EXPECT_TRUE(std::filesystem::is_regular_file(languages_folder(program.path()) + language));

    LanguageTable table;
    EXPECT_EQ(load_language(portable_locations(program.path()), prefs, table).size(), 2u);
    EXPECT_EQ(table.translate("tb_crop"), "Crop");
    EXPECT_TRUE(dialogs.messages().empty());
}

} // namespace
} // namespace orvix
