#include "settings/prefs.h"

#include "fs/file_io.h"
#include "fs/fs.h"
#include "platform/dialogs.h"
#include "settings/locations.h"
#include "text/text.h"

#include <cerrno>
#include <cstdlib>

namespace orvix {

namespace {

constexpr std::string_view CR_TEXT(&CR, 1);

// No text file of the program comes near this; anything larger is not one of them.
constexpr off_t kMaxTextFileBytes = off_t{16} << 20;

// Writes text into a fresh temporary file beside path and renames it over path, both
// flushed to disk. Returns 0 or the errno of the step that failed; the temporary file
// never stays.
int replace_file(const std::string& path, const std::string& text) {
    ReplacementFile file(path);
    if (file.error())
        return file.error();
    if (const int err = write_all(file.fd(), text.data(), text.size()))
        return err;
    return file.commit(true);
}

std::string key_pattern(const std::string& key, const std::string& prefix,
                        const std::string& separator) {
    return prefix + key + separator;
}

// A plain value is stored on one line; a line break in it would end the value there and
// start a line of its own, which the next load would read as another key.
std::string single_line(const std::string& value) {
    std::string result;
    result.reserve(value.size());
    for (const char c : value) {
        if (c != '\r' && c != '\n')
            result += c;
    }
    return result;
}

} // namespace

std::string read_text_file(const std::string& path, bool keep_crlf) {
    std::string text;
    const int err = read_regular_file(path, text, kMaxTextFileBytes);
    if (err != 0) {
        show_system_error(err);
        return "";
    }
    return keep_crlf ? text : Remplacer(CRLF, CR_TEXT, text);
}

bool write_text_file(const std::string& path, const std::string& text) {
    const int err = replace_file(path, text);
    if (err != 0) {
        show_system_error(err);
        return false;
    }
    return true;
}

std::string get_key_value(const std::string& key, const std::string& text,
                          const std::string& prefix, const std::string& separator, bool decode) {
    const std::string pattern = key_pattern(key, prefix, separator);
    const int line_number = find_line(pattern, text, false);
    if (line_number == 0)
        return "";
    const std::string line = split(text, CR_TEXT)[static_cast<size_t>(line_number - 1)];
    // The pattern is taken to open the line, even when the match stood further in.
    const std::string value = line.substr(pattern.size());
    return decode ? decode_value(value) : value;
}

void set_key_value(const std::string& key, std::string& text, const std::string& value,
                   const std::string& prefix, const std::string& separator, bool encode) {
    const std::string pattern = key_pattern(key, prefix, separator);
    const size_t p = text.find(pattern);
    if (p != std::string::npos) {
        const size_t c = text.find(CR, p);
        if (c != std::string::npos)
            text.erase(p, c - p + 1);
        else
            text.erase(p == 0 ? 0 : p - 1); // the line and the break before it
    }
    if (!text.empty())
        text += CR;
    text += pattern + (encode ? encode_value(value) : single_line(value));
    text = drop_empty_fields(text, CR_TEXT);
}

std::string prefs_path(const std::string& program_folder) {
    return program_folder + "extra/prefs.prf";
}

std::string load_prefs(const Locations& where) {
    const std::string first_run = first_run_prefs(where);
    std::string text = read_text_file(first_run.empty() ? where.prefs_file : first_run, false);
    if (text.find(CR) == std::string::npos)
        text = Remplacer("\n", CR_TEXT, text);
    return text;
}

bool save_prefs(const Locations& where, std::string& prefs_text, const MainWindowPrefs& values) {
    set_key_value("RENAME_PATTERN", prefs_text, values.rename_pattern);
    set_key_value("QUALITYFACTOR", prefs_text, values.quality);
    set_key_value("RENAME_WITH", prefs_text, values.rename_with);
    set_key_value("SOURCE_PATH", prefs_text, values.source_path);
    set_key_value("DEST_PATH", prefs_text, values.dest_path);
    set_key_value("CREATE_SUBDIR", prefs_text, std::to_string(values.create_subdir));
    set_key_value("DELETE_ORIGINAL", prefs_text, std::to_string(values.delete_original));
    set_key_value("SHOW_THUMBS", prefs_text, std::to_string(values.show_thumbs));
    set_key_value("OPEN_ASLEEP", prefs_text, std::to_string(values.open_asleep));
    // Written once the box has been checked: the file of a user who never did stays as it was.
    if (values.auto_rotate != 0 || !get_key_value("AUTO_ROTATE", prefs_text).empty())
        set_key_value("AUTO_ROTATE", prefs_text, std::to_string(values.auto_rotate));
    if (!values.grid_zoom.empty())
        set_key_value("GRID_ZOOM", prefs_text, values.grid_zoom);
    if (!values.grid_order.empty())
        set_key_value("GRID_ORDER", prefs_text, values.grid_order);

    const std::string folder = parent_folder(where.prefs_file);
    if (!folder_exists(folder)) {
        if (const int err = make_path(folder)) {
            show_system_error(err);
            return false;
        }
    }
    return write_text_file(where.prefs_file, prefs_text);
}

} // namespace orvix
