// The preferences file: "$KEY=value" lines joined by carriage returns, held in memory as
// one text and written back when the main window closes.
#pragma once

#include <string>

namespace orvix {

struct Locations;

// Whole-file read of a regular file of at most 16 MiB. Unless keep_crlf, every CR LF
// becomes a single CR. A file that cannot be read, a folder (EISDIR), a fifo or device
// (EINVAL, and never waited on) and a larger file (EFBIG) show the "Error" box (system
// description) and give "".
std::string read_text_file(const std::string& path, bool keep_crlf);
// Writes text as it is, through a temporary file renamed over the old one, so a failed
// write leaves the old file intact. On failure shows the "Error" box and returns false.
bool write_text_file(const std::string& path, const std::string& text);

// The value of key in text ("" when absent); the first line holding prefix+key+separator,
// compared in lower case, is the key's line. decode turns "<BR>" and "<;>" back.
std::string get_key_value(const std::string& key, const std::string& text,
                          const std::string& prefix = "$", const std::string& separator = "=",
                          bool decode = false);
// Removes the key's first line (found case-sensitively) and appends the new one at the
// end, then drops empty lines. encode escapes line breaks and commas first; without it any
// CR or LF is dropped from the value, since a line break would start a line of its own.
void set_key_value(const std::string& key, std::string& text, const std::string& value,
                   const std::string& prefix = "$", const std::string& separator = "=",
                   bool encode = false);

// program_folder + "extra/prefs.prf", the one preferences file.
std::string prefs_path(const std::string& program_folder);

// Reads the preferences file of where (on a user's first run, the shipped default that
// first_run_prefs names); bare-LF files are read as CR lines. A missing file shows the
// "Error" box once and gives "".
std::string load_prefs(const Locations& where);

// What the main window stores when it closes, as the texts to write.
struct MainWindowPrefs {
    std::string rename_pattern; // RENAME_PATTERN
    std::string quality;        // QUALITYFACTOR, the quality box as typed
    std::string rename_with;    // RENAME_WITH: CRE, MOD, CAPTURE, OTHER or NO
    std::string source_path;    // SOURCE_PATH
    std::string dest_path;      // DEST_PATH
    int create_subdir = 0;      // CREATE_SUBDIR
    int delete_original = 0;    // DELETE_ORIGINAL
    int show_thumbs = 0;        // SHOW_THUMBS
    int open_asleep = 0;        // OPEN_ASLEEP
    int auto_rotate = 0;        // AUTO_ROTATE
    // The grid's zoom and order (GRID_ZOOM, GRID_ORDER); each written only when not empty.
    std::string grid_zoom{};
    std::string grid_order{};
};

// Sets the nine keys in their fixed order (each moves to the end of prefs_text), makes
// the folder of where's preferences file when missing and writes the file. False when the
// write failed.
bool save_prefs(const Locations& where, std::string& prefs_text, const MainWindowPrefs& values);

} // namespace orvix
