#include "settings/language.h"

#include "fs/file_io.h"
#include "fs/fs.h"
#include "platform/dialogs.h"
#include "settings/locations.h"
#include "settings/prefs.h"
#include "text/text.h"

#include <algorithm>
#include <cstdlib>

namespace orvix {

namespace {

constexpr std::string_view CR_TEXT(&CR, 1);
constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";
const std::string DEFAULT_LANGUAGE = "ENGLISH.LNG";
const std::string DEFAULT_INFO_FILE = "infos.txt";
// A language file is a few kilobytes; the look for its code reads no further.
constexpr off_t kMaxLanguageFileBytes = off_t{1} << 20;

std::string trim_spaces(const std::string& line) {
    const size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos)
        return "";
    const size_t last = line.find_last_not_of(' ');
    return line.substr(first, last - first + 1);
}

// Line breaks of any system become carriage returns: a file saved by a Linux editor has
// bare line feeds and would otherwise be read as one long line.
std::string normalised_lines(std::string_view text) {
    if (text.substr(0, UTF8_BOM.size()) == UTF8_BOM)
        text.remove_prefix(UTF8_BOM.size());
    return Remplacer("\n", CR_TEXT, Remplacer(CRLF, CR_TEXT, text));
}

// The listed file that the preference names: the path itself, else a file of that name
// anywhere in the listing (the list shows files of subfolders too, but stores only their
// bare name), else the same ignoring case (the list adds ".lng" in lower case to whatever
// the file is called). "" when none matches.
std::string find_language_file(const std::vector<std::string>& listing, const std::string& folder,
                               const std::string& name) {
    for (const std::string& path : listing) {
        if (path == folder + name)
            return path;
    }
    for (const std::string& path : listing) {
        if (file_name(path, true) == name)
            return path;
    }
    const std::string lower_name = to_lower(name);
    for (const std::string& path : listing) {
        if (to_lower(file_name(path, true)) == lower_name)
            return path;
    }
    return "";
}

// One listing for each language folder, in the same order.
using Listings = std::vector<std::vector<std::string>>;

// A user's own file wins over a shipped one of the same name, so the folders are searched
// from the last.
std::string find_in_folders(const Listings& listings, const std::vector<std::string>& folders,
                            const std::string& name) {
    for (size_t i = folders.size(); i-- > 0;) {
        std::string path = find_language_file(listings[i], folders[i], name);
        if (!path.empty())
            return path;
    }
    return "";
}

// "fr_CA" and "fr-ca" name the same language; "fr" names its language part.
std::string language_tag(std::string_view text) {
    return Remplacer("-", "_", to_lower(text));
}

bool tag_matches(const std::string& code, const std::string& wanted) {
    if (code.empty())
        return false;
    return code == wanted || code == wanted.substr(0, wanted.find('_'));
}

// The language code a file declares, read without a box: a file that cannot be read is
// simply not offered to the desktop.
std::string quiet_translation(const std::string& path, const std::string& key) {
    std::string text;
    if (read_regular_file(path, text, kMaxLanguageFileBytes) != 0)
        return "";
    LanguageTable table;
    table.parse_language_text(text);
    return table.translate(key);
}

std::string language_code_of(const std::string& path) {
    return language_tag(quiet_translation(path, "language_code"));
}

// The file in the desktop's language: for each wanted language in order, the first file
// whose code matches it, the user's own files first. "" when none does.
std::string desktop_language_file(const Listings& listings,
                                  const std::vector<std::string>& desktop) {
    std::vector<std::pair<std::string, std::string>> codes; // path, code
    for (size_t i = listings.size(); i-- > 0;) {
        for (const std::string& path : listings[i])
            codes.emplace_back(path, language_code_of(path));
    }
    for (const std::string& wanted : desktop) {
        const std::string tag = language_tag(wanted);
        for (const auto& [path, code] : codes) {
            if (tag_matches(code, tag))
                return path;
        }
    }
    return "";
}

std::string chosen_language_file(const Listings& listings, const std::vector<std::string>& folders,
                                 const std::string& prefs_text,
                                 const std::vector<std::string>& desktop) {
    std::string name = get_key_value("CURRENT_LANGUAGE", prefs_text);
    if (name.empty() && !desktop.empty()) {
        std::string path = desktop_language_file(listings, desktop);
        if (!path.empty())
            return path;
    }
    if (name.empty())
        name = DEFAULT_LANGUAGE;
    std::string path = find_in_folders(listings, folders, name);
    if (path.empty())
        path = find_in_folders(listings, folders, DEFAULT_LANGUAGE);
    if (!path.empty())
        return path;
    // Any language reads better than an interface with every text empty.
    for (const std::vector<std::string>& listing : listings) {
        if (!listing.empty())
            return listing.front();
    }
    return "";
}

Listings language_listings(const Locations& where) {
    Listings listings(where.language_folders.size());
    for (size_t i = 0; i < listings.size(); ++i)
        list_files(where.language_folders[i], listings[i], "lng", true);
    return listings;
}

} // namespace

void LanguageTable::parse_language_text(const std::string& text) {
    m_entries.clear();
    const std::string lines = Remplacer("\t", " ", normalised_lines(text));
    for (const std::string& raw : split(lines, CR_TEXT)) {
        const std::string line = trim_spaces(raw);
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            m_entries.push_back({line.substr(0, equals), line.substr(equals + 1)});
    }
}

std::string LanguageTable::translate(const std::string& key, bool decode) const {
    for (const Entry& entry : m_entries) {
        if (entry.key == key)
            return decode ? decode_value(entry.value) : entry.value;
    }
    return "";
}

std::string languages_folder(const std::string& program_folder) {
    return program_folder + "extra/languages/";
}

LocaleVariables locale_variables() {
    auto variable = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    return {variable("LANGUAGE"), variable("LC_ALL"), variable("LC_MESSAGES"), variable("LANG")};
}

std::vector<std::string> desktop_languages(const LocaleVariables& variables) {
    const std::string& locale = !variables.lc_all.empty()        ? variables.lc_all
                                : !variables.lc_messages.empty() ? variables.lc_messages
                                                                 : variables.lang;
    auto bare = [](const std::string& name) { return name.substr(0, name.find_first_of(".@")); };
    const std::string messages = bare(locale);
    if (messages.empty() || messages == "C" || messages == "POSIX")
        return {};
    if (variables.language.empty())
        return {messages};
    std::vector<std::string> languages;
    for (const std::string& name : split(variables.language, ":")) {
        std::string language = bare(name);
        if (!language.empty())
            languages.push_back(std::move(language));
    }
    return languages;
}

std::vector<std::string> load_language(const Locations& where, const std::string& prefs_text,
                                       LanguageTable& table,
                                       const std::vector<std::string>& desktop_languages) {
    const Listings listings = language_listings(where);
    const std::string chosen =
        chosen_language_file(listings, where.language_folders, prefs_text, desktop_languages);

    std::string text;
    if (chosen.empty()) {
        dialogs().message_box(
            "No language file found. Interface errors may occur... Re-install Orvix.", "",
            Icon::None, Buttons::Ok);
    } else {
        text = read_text_file(chosen, false);
    }
    table.parse_language_text(text);
    table.set_name(chosen.empty() ? "" : file_name(chosen, false));

    std::vector<std::string> names;
    for (const std::vector<std::string>& listing : listings) {
        for (const std::string& path : listing) {
            std::string name = file_name(path, false);
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(std::move(name));
        }
    }
    return names;
}

std::vector<std::string> language_display_names(const Locations& where,
                                                const std::vector<std::string>& names) {
    const Listings listings = language_listings(where);
    std::vector<std::string> shown;
    for (const std::string& name : names) {
        const std::string path = find_in_folders(listings, where.language_folders, name + ".lng");
        std::string own = path.empty() ? "" : quiet_translation(path, "language_name");
        shown.push_back(own.empty() ? name : std::move(own));
    }
    return shown;
}

std::string info_file_path(const Locations& where, const LanguageTable& table) {
    const std::string name = table.translate("info_file");
    // A bare name only: a language file does not send the reader elsewhere on the disk.
    if (!name.empty() && name.find('/') == std::string::npos && name != "." && name != "..") {
        for (size_t i = where.language_folders.size(); i-- > 0;) {
            const std::string& folder = where.language_folders[i];
            const std::string path = parent_folder(folder.substr(0, folder.size() - 1)) + name;
            if (file_exists(path))
                return path;
        }
    }
    const std::string shipped = where.data_folder + DEFAULT_INFO_FILE;
    return file_exists(shipped) ? shipped : "";
}

} // namespace orvix
