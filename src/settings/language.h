// Language files: "key=value" lines under extra/languages/, loaded into a table that
// every window asks for its texts. Values keep their markers ("#1", "#2", "<BR>");
// callers replace them.
#pragma once

#include <string>
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

private:
    struct Entry {
        std::string key;
        std::string value;
    };
    std::vector<Entry> m_entries;
};

// program_folder + "extra/languages/".
std::string languages_folder(const std::string& program_folder);

// Loads the language named by CURRENT_LANGUAGE in prefs_text (default "ENGLISH.LNG") into
// table. The language files are those listed in where's language folders; a later folder
// (the user's own) wins over an earlier one for a file of the same name. In each folder the
// name is looked up as a path under the folder, then as a file name anywhere below it, then
// ignoring case. When it is not found, "ENGLISH.LNG" is looked up the same way, then the
// first listed file is taken; no message. With no language file at all, shows "No language
// file found. Interface errors may occur... Re-install Orvix." and leaves the table empty.
// Returns the names for the language list: each listed file's name without extension, in
// listing order, folder after folder, each name once.
std::vector<std::string> load_language(const Locations& where, const std::string& prefs_text,
                                       LanguageTable& table);

} // namespace orvix
