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

TEST(DesktopLanguagesTest, ReadAsGettextReadsThem) {
    const struct {
        const char* label;
        LocaleVariables variables;
        std::vector<std::string> languages;
    } cases[] = {
        {"nothing set", {}, {}},
        {"LANG", {"", "", "", "fr_FR.UTF-8"}, {"fr_FR"}},
        {"a modifier", {"", "", "", "fr_FR.UTF-8@euro"}, {"fr_FR"}},
        {"a bare language", {"", "", "", "fr"}, {"fr"}},
        {"LC_MESSAGES over LANG", {"", "", "de_DE.UTF-8", "fr_FR.UTF-8"}, {"de_DE"}},
        {"LC_ALL over both", {"", "it_IT", "de_DE.UTF-8", "fr_FR.UTF-8"}, {"it_IT"}},
        {"LANGUAGE lists them", {"fr_CA:fr:en", "", "", "en_US.UTF-8"}, {"fr_CA", "fr", "en"}},
        {"LANGUAGE with empty entries", {":de::fr:", "", "", "en_US.UTF-8"}, {"de", "fr"}},
        {"the C locale asks for none", {"fr", "", "", "C"}, {}},
        {"C.UTF-8 too", {"fr", "", "", "C.UTF-8"}, {}},
        {"POSIX too", {"fr", "POSIX", "", "fr_FR.UTF-8"}, {}},
        {"LANGUAGE without a locale", {"fr", "", "", ""}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(desktop_languages(c.variables), c.languages) << c.label;
}

TEST_F(LoadLanguageTest, WithoutAChoiceTheDesktopsLanguageIsTakenWhenAFileMatches) {
    const auto add = [&](const std::string& relative, const std::string& code,
                         const std::string& name) {
        write_file(languages_folder(m_dir.path()) + relative,
                   "language_code=" + code + "\rname=" + name);
    };
    add("ENGLISH.LNG", "en", "English");
    add("FRENCH.LNG", "fr", "French");
    add("BRAZIL.LNG", "pt-BR", "Brazilian");
    write_file(languages_folder(m_dir.path()) + "NOCODE.LNG", "name=No code");
    const struct {
        std::vector<std::string> desktop;
        const char* prefs;
        const char* loaded;
    } cases[] = {
        {{"fr_FR"}, "", "French"},
        {{"fr"}, "", "French"},
        {{"FR_ca"}, "", "French"},
        {{"pt_BR"}, "", "Brazilian"},
        {{"pt_PT"}, "", "English"},
        {{"de_DE"}, "", "English"},
        {{"de_DE", "fr_FR"}, "", "French"},
        {{"en_GB", "fr_FR"}, "", "English"},
        {{}, "", "English"},
        {{"fr_FR"}, "$CURRENT_LANGUAGE=ENGLISH.LNG", "English"},
        {{"fr_FR"}, "$CURRENT_LANGUAGE=GERMAN.LNG", "English"},
    };
    for (const auto& c : cases) {
        load_language(portable_locations(m_dir.path()), c.prefs, m_table, c.desktop);
        EXPECT_EQ(m_table.translate("name"), c.loaded)
            << (c.desktop.empty() ? "" : c.desktop.front()) << " " << c.prefs;
    }
    EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(LoadLanguageTest, TheTableKnowsItsEntryInTheList) {
    add_language("ENGLISH.LNG", "English");
    add_language("more/ITALIAN.lng", "Italian");
    const std::pair<std::string, std::string> cases[] = {
        {"", "ENGLISH"},
        {"$CURRENT_LANGUAGE=ITALIAN.lng", "ITALIAN"},
        {"$CURRENT_LANGUAGE=GERMAN.lng", "ENGLISH"},
    };
    for (const auto& [prefs, name] : cases) {
        load(prefs);
        EXPECT_EQ(m_table.name(), name) << prefs;
    }
}

TEST_F(LoadLanguageTest, TheAboutTextIsTheOneTheLanguageNames) {
    const std::string extra = m_dir.path() + "extra/";
    write_file(extra + "infos.txt", "About");
    write_file(extra + "infos_fr.txt", "À propos");
    write_file(m_dir.path() + "secret.txt", "not for the About page");
    const Locations where = portable_locations(m_dir.path());
    const std::pair<std::string, std::string> cases[] = {
        {"info_file=infos_fr.txt", extra + "infos_fr.txt"},
        {"info_file=infos_de.txt", extra + "infos.txt"},
        {"info_file=../secret.txt", extra + "infos.txt"},
        {"info_file=..", extra + "infos.txt"},
        {"name=no key", extra + "infos.txt"},
    };
    for (const auto& [text, path] : cases) {
        m_table.parse_language_text(text);
        EXPECT_EQ(info_file_path(where, m_table), path) << text;
    }
    std::filesystem::remove(extra + "infos.txt");
    m_table.parse_language_text("info_file=infos_de.txt");
    EXPECT_EQ(info_file_path(where, m_table), "") << "no About text at all";
}

TEST(LoadLanguageFolders, AUsersOwnAboutTextBesideTheirLanguagesWins) {
    TempDir dir;
    Locations where;
    where.data_folder = dir.folder("share/extra");
    where.language_folders = {where.data_folder + "languages/",
                              dir.folder("data/orvix") + "languages/"};
    write_file(where.data_folder + "infos_br.txt", "shipped");
    write_file(dir.path() + "data/orvix/infos_br.txt", "own");
    LanguageTable table;
    table.parse_language_text("info_file=infos_br.txt");
    EXPECT_EQ(info_file_path(where, table), dir.path() + "data/orvix/infos_br.txt");
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
    {"no_history", "#1 <BR>"},    {"x_kept_tagged", "#1"},     {"crop_size", "#1 #2"},
    {"crop_landscape", "#1"},     {"crop_portrait", "#1"},     {"dest_create", "#1"},
    {"x_skipped_clash", "#1"},    {"dest_not_made", "#1 #2"},  {"undo_changed", "#1 <BR>"},
    {"no_trash", "#1 #2 <BR>"},
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
    "reason_no_free_name progress_edit only_new auto_rotate "
    "crop_hint crop_ratio crop_free crop_as_picture "
    "same_answer xfer_waiting "
    "tb_undo reason_not_kept "
    "language_code info_file tray_tip "
    "language_name "
    "grid_zoom sort_tip sort_transfer sort_name sort_date "
    "resize_other";

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

TEST(ShippedFilesTest, FirstRunStartsInTheDesktopsLanguageFromTheDefaultPreferences) {
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
    // No language stored: the desktop's is taken when it ships, else English.
    EXPECT_EQ(get_key_value("CURRENT_LANGUAGE", prefs), "");

    const Locations where = portable_locations(program.path());
    LanguageTable table;
    EXPECT_EQ(load_language(where, prefs, table).size(), 2u);
    EXPECT_EQ(table.translate("tb_crop"), "Crop");
    EXPECT_EQ(info_file_path(where, table), program.path() + "extra/infos.txt");
    load_language(where, prefs, table, desktop_languages({"", "", "", "fr_FR.UTF-8"}));
    EXPECT_EQ(table.translate("tb_crop"), "Recadrer");
    EXPECT_EQ(table.name(), "FRENCH");
    EXPECT_EQ(info_file_path(where, table), program.path() + "extra/infos_fr.txt");
    EXPECT_TRUE(dialogs.messages().empty());
}

} // namespace
} // namespace orvix
