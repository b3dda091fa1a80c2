#include "settings/language.h"

#include "fs/fs.h"
#include "platform/dialogs.h"
#include "settings/prefs.h"
#include "text/text.h"

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

std::string chosen_language_file(const std::vector<std::string>& listing, const std::string& folder,
                                 const std::string& prefs_text) {
    std::string name = get_key_value("CURRENT_LANGUAGE", prefs_text);
    if (name.empty())
        name = DEFAULT_LANGUAGE;
    std::string path = find_language_file(listing, folder, name);
    if (path.empty())
        path = find_language_file(listing, folder, DEFAULT_LANGUAGE);
    // Any language reads better than an interface with every text empty.
    return path.empty() ? listing.front() : path;
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

std::vector<std::string> load_language(const std::string& program_folder,
                                       const std::string& prefs_text, LanguageTable& table) {
    const std::string folder = languages_folder(program_folder);
    std::vector<std::string> listing;
    list_files(folder, listing, "lng", true);

    std::string text;
    if (listing.empty()) {
        dialogs().message_box(
            "No language file found. Interface errors may occur... Re-install Orvix.", "",
            Icon::None, Buttons::Ok);
    } else {
        text = read_text_file(chosen_language_file(listing, folder, prefs_text), false);
    }
    table.parse_language_text(text);

    std::vector<std::string> names;
    names.reserve(listing.size());
    for (const std::string& path : listing)
        names.push_back(file_name(path, false));
    return names;
}

} // namespace orvix
