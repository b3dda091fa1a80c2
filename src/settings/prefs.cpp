#include "settings/prefs.h"

#include "fs/file_io.h"
#include "fs/fs.h"
#include "platform/dialogs.h"
#include "text/text.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvix {

namespace {

constexpr std::string_view CR_TEXT(&CR, 1);

// No text file of the program comes near this; anything larger is not one of them.
constexpr off_t kMaxTextFileBytes = off_t{16} << 20;

// Reads a whole regular file. The open never waits (a fifo would block it for ever) and
// devices are refused (/dev/zero never ends), as is a file beyond the size limit; the
// count read stays within the limit even when the file grows meanwhile.
int read_all(const std::string& path, std::string& out) {
    if (!path_usable(path))
        return ENOENT;
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid())
        return errno;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    if (!S_ISREG(st.st_mode))
        return EINVAL;
    if (st.st_size > kMaxTextFileBytes)
        return EFBIG;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read_full(fd.get(), buffer, sizeof buffer);
        if (n < 0)
            return errno;
        out.append(buffer, static_cast<size_t>(n));
        if (out.size() > static_cast<size_t>(kMaxTextFileBytes)) {
            out.clear();
            return EFBIG;
        }
        if (n < static_cast<ssize_t>(sizeof buffer))
            break;
    }
    return 0;
}

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
    const int err = read_all(path, text);
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

std::string load_prefs(const std::string& program_folder) {
    std::string text = read_text_file(prefs_path(program_folder), false);
    if (text.find(CR) == std::string::npos)
        text = Remplacer("\n", CR_TEXT, text);
    return text;
}

bool save_prefs(const std::string& program_folder, std::string& prefs_text,
                const MainWindowPrefs& values) {
    set_key_value("RENAME_PATTERN", prefs_text, values.rename_pattern);
    set_key_value("QUALITYFACTOR", prefs_text, values.quality);
    set_key_value("RENAME_WITH", prefs_text, values.rename_with);
    set_key_value("SOURCE_PATH", prefs_text, values.source_path);
    set_key_value("DEST_PATH", prefs_text, values.dest_path);
    set_key_value("CREATE_SUBDIR", prefs_text, std::to_string(values.create_subdir));
    set_key_value("DELETE_ORIGINAL", prefs_text, std::to_string(values.delete_original));
    set_key_value("SHOW_THUMBS", prefs_text, std::to_string(values.show_thumbs));
    set_key_value("OPEN_ASLEEP", prefs_text, std::to_string(values.open_asleep));

    const std::string extra = program_folder + "extra/";
    if (!folder_exists(extra)) {
        if (const int err = make_path(extra)) {
            show_system_error(err);
            return false;
        }
    }
    return write_text_file(prefs_path(program_folder), prefs_text);
}

} // namespace orvix
