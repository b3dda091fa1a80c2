// How a transferred picture is named and filed: the new name by naming mode or pattern,
// the date folder, the copy and converted targets, and the "Twins !!!" question when a
// name is already taken. Plain functions over strings; only the collision rule looks at
// the disk and asks the user.
#pragma once

#include "transfer/transfer.h"

#include <array>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace orvix {

// The extensions of the transferable pictures, as the listing takes them: the transfer lists
// the source with it and the source status counts and samples with it.
inline constexpr std::string_view picture_filter = "jpg,tif,bmp";

// The words the preferences keep for the naming modes under RENAME_WITH.
std::string_view rename_with_word(NamingMode mode);
// The mode a RENAME_WITH word names; std::nullopt for a word that names none, which
// leaves every naming option off.
std::optional<NamingMode> naming_mode_of_word(const std::string& word);

// True when the names the mode gives carry a date, so that they can be filed into a
// folder per date: the three date modes, and a pattern with a date token.
bool naming_carries_date(NamingMode mode, const std::string& pattern);

// True when the names the mode gives need the capture date: the capture-date mode, and a
// pattern with its token.
bool naming_reads_capture_date(NamingMode mode, const std::string& pattern);

// The date texts (YYYYMMDDhhmmss, local time) that names and date folders use. capture is
// read only when the naming needs it.
struct PictureDates {
    std::string creation;
    std::string modification;
    std::string capture;
};

// Lines 2 and 3 of a file_info record; empty texts when the record has no such lines.
PictureDates dates_from_record(const std::string& record);

// The file name without its last extension, case kept.
std::string base_name(const std::string& path);

// Name of the copy without extension. The first mode that applies wins: a date mode
// gives its date text, a non-empty pattern gets its tokens replaced, anything else keeps
// the base name.
std::string new_name(NamingMode mode, const std::string& pattern, const std::string& base,
                     const PictureDates& dates);

// YYYYMMDD of the date the name is built from, or "" when date folders are off or the
// name holds no date. A pattern with several date tokens files by the capture date, else by
// the creation date.
std::string date_folder(NamingMode mode, const std::string& pattern, bool subdir_on,
                        const PictureDates& dates);

// destination_folder (with its trailing separator) + date folder + "/" or just the
// destination folder.
std::string target_folder(const std::string& destination_folder, const std::string& date_folder);

// target folder + name + "." + extension; the copy and converted targets are both built so.
std::string file_target(const std::string& target_folder, const std::string& name,
                        const std::string& extension);

// One entry of the format list. The list shows the entries in this order and the
// FILECONVERSION preference keeps the index, so the index is what ties a label to its
// extension.
struct OutputFormat {
    std::string_view label;     // empty: the language's "noconversion" text
    std::string_view extension; // empty: the source's own extension, no conversion
};

inline constexpr std::array<OutputFormat, 6> output_formats = {{{"", ""},
                                                                {"JPEG", "jpg"},
                                                                {"BMP", "bmp"},
                                                                {"TIFF", "tif"},
                                                                {"PNG", "png"},
                                                                {"Adobe Photoshop", "psd"}}};

// A stored format index when it names an entry of the list, else -1 (no selection).
int format_index_of(int stored_index);

// Extension of the converted file by the format list's index. An index that names no
// entry (-1 when nothing is selected) keeps the source's extension: without a choice
// nothing is converted.
std::string output_extension(int format_index, const std::string& source_extension);

// True when format_index selects the JPEG entry, whose quality the run reads.
bool is_jpeg_choice(int format_index);

// The first free name of the series T, T-bis, T-bis-bis, ... (suffix before the extension).
std::string bis_proposal(const std::string& target);

// A name that the run can create as a file of the target folder: never a path.
bool is_plain_name(const std::string& name);

// Where a picture's file goes once the collision rule has settled its name.
struct SettledTarget {
    std::string path; // target folder + name + "." + extension
    std::string name; // the name without extension: the answer when the user gave one
};

// What the user chose for the clashes still to come in a run, with the check box of the
// "Twins !!!" question: ask each time, take each clash's own "-bis" proposal unasked, or
// skip each clash unasked.
enum class ClashAnswer { Ask, TakeProposal, Skip };

// The collision rule. While a file of the target's name exists, asks for another name in
// the "Twins !!!" input box (default: the base name of the first free "-bis" proposal);
// an answer holding "." is asked again, unless it is the proposal itself, unchanged. std::nullopt
// when the user gives an empty answer or cancels: the picture is skipped. The prompt names name +
// "." + extension. The box's check box, when checked, sets standing for the run's later
// clashes: a cancel skips them, an accepted name takes their proposals. While standing is
// not Ask, no question is asked.
std::optional<SettledTarget> settle_collision(const std::string& target_folder,
                                              const std::string& name, const std::string& extension,
                                              const LanguageTable& language, Dialogs& dialogs,
                                              ClashAnswer& standing);

// A free thumbnail path in thumbs_dir: the stem + ".jpg", or, when a file of that name is
// there already, stem + "_2.jpg", "_3.jpg", ... The stem is base made safe for the grid,
// which takes its list one path a line and a file named "m_" + another's name for that
// one's companion: a control character becomes "_", a stem starting with "m_" takes a "_"
// before it, and a stem longer than 200 bytes is cut at a character's start. Pictures are
// found by their thumbnail's name, so two pictures of one base name must not share a
// thumbnail. A path in handed_out counts as taken too: it belongs to a thumbnail that is
// still being made.
std::string free_thumb_path(const std::string& thumbs_dir, const std::string& base,
                            const std::set<std::string>& handed_out = {});

} // namespace orvix
