#include "settings/language.h"

#include "fs/fs.h"
#include "platform/dialogs.h"
#include "settings/locations.h"
#include "settings/prefs.h"
#include "text/text.h"

#include <algorithm>

namespace orvix {

namespace {

constexpr std::string_view CR_TEXT(&CR, 1);
constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";
const std::string DEFAULT_LANGUAGE = "ENGLISH.LNG";

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

std::string chosen_language_file(const Listings& listings, const std::vector<std::string>& folders,
                                 const std::string& prefs_text) {
    std::string name = get_key_value("CURRENT_LANGUAGE", prefs_text);
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

std::vector<std::string> load_language(const Locations& where, const std::string& prefs_text,
                                       LanguageTable& table) {
    Listings listings(where.language_folders.size());
    for (size_t i = 0; i < listings.size(); ++i)
        list_files(where.language_folders[i], listings[i], "lng", true);
    const std::string chosen = chosen_language_file(listings, where.language_folders, prefs_text);

    std::string text;
    if (chosen.empty()) {
        dialogs().message_box(
            "No language file found. Interface errors may occur... Re-install Orvix.", "",
            Icon::None, Buttons::Ok);
    } else {
        text = read_text_file(chosen, false);
    }
    table.parse_language_text(text);

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

} // namespace orvix
