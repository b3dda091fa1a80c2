// Language files: "key=value" lines under extra/languages/, loaded into a table that
// every window asks for its texts. Values keep their markers ("#1", "#2", "<BR>");
// callers replace them.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace orvix {

struct Locations;

class LanguageTable {
public:
    // Replaces the table by the entries of text (CR, CR LF and LF all end a line, a leading
    // UTF-8 byte order mark is skipped, tabs become spaces, lines trimmed of spaces,
    // key = before the first "=", value = after it; lines without "=" ignored).
    void parse_language_text(const std::string& text);
    // The value of the first entry whose key matches exactly; "" when none. decode turns
    // "<BR>" into a carriage return and "<;>" into a comma.
    std::string translate(const std::string& key, bool decode = false) const;
    size_t size() const { return m_entries.size(); }
    // The entry of the language list whose file the table holds; "" when none was loaded.
    const std::string& name() const { return m_name; }
    void set_name(std::string name) { m_name = std::move(name); }

private:
    struct Entry {
        std::string key;
        std::string value;
    };
    std::vector<Entry> m_entries;
    std::string m_name;
};

// The variables a desktop session sets for the language of its programs; "" when unset.
struct LocaleVariables {
    std::string language; // LANGUAGE, a colon-separated list
    std::string lc_all;   // LC_ALL
    std::string lc_messages;
    std::string lang;
};

// The variables of this process.
LocaleVariables locale_variables();

// The languages the desktop asks for, most wanted first, without encoding or modifier
// ("fr_FR.UTF-8@euro" gives "fr_FR"), read as gettext reads them: the locale of the
// messages is LC_ALL, else LC_MESSAGES, else LANG; the C or POSIX locale (or none) asks
// for no language at all; otherwise LANGUAGE, when set, lists the languages, else the
// locale names the one.
std::vector<std::string> desktop_languages(const LocaleVariables& variables);

// program_folder + "extra/languages/".
std::string languages_folder(const std::string& program_folder);

// Loads the language named by CURRENT_LANGUAGE in prefs_text into table. Without that key,
// the first of desktop_languages that a listed file's "language_code" matches (exactly, or
// by the language part before "_", ignoring case) names the file; else "ENGLISH.LNG". The language
// files are those listed in where's language folders; a later folder (the user's own) wins over an
// earlier one for a file of the same name. In each folder the name is looked up as a path under the
// folder, then as a file name anywhere below it, then ignoring case. When it is not found,
// "ENGLISH.LNG" is looked up the same way, then the first listed file is taken; no message. The
// table's name() is then the list entry of the file. With no language file at all, shows "No
// language file found. Interface errors may occur... Re-install Orvix." and leaves the table empty.
// Returns the names for the language list: each listed file's name without extension, in
// listing order, folder after folder, each name once.
std::vector<std::string> load_language(const Locations& where, const std::string& prefs_text,
                                       LanguageTable& table,
                                       const std::vector<std::string>& desktop_languages = {});

// What the language list shows for each of names (entries of load_language's list): the
// "language_name" of the file the entry loads, the language named in itself, so every
// reader finds theirs whatever language the window speaks; the entry itself when the file
// names none.
std::vector<std::string> language_display_names(const Locations& where,
                                                const std::vector<std::string>& names);

// The information text of the language in table: the file its "info_file" key names (a bare
// file name), looked up in the folder above each language folder, the user's own first;
// else the shipped "infos.txt". "" when neither exists.
std::string info_file_path(const Locations& where, const LanguageTable& table);

} // namespace orvix
