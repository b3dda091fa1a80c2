#include "transfer/naming.h"

#include "fs/fs.h"
#include "platform/dialogs.h"
#include "settings/language.h"
#include "text/text.h"

namespace orvix {

namespace {

constexpr std::string_view kTwinsTitle = "Twins !!!";

bool contains(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

std::string first_eight(const std::string& date) {
    return date.substr(0, 8);
}

// Room left in a file name for the "_" before "m_", a number and ".jpg".
constexpr size_t kThumbStemBytes = 200;

std::string thumb_stem(const std::string& base) {
    size_t length = base.size();
    if (length > kThumbStemBytes) {
        length = kThumbStemBytes;
        while (length > 0 && (static_cast<unsigned char>(base[length]) & 0xC0) == 0x80)
            --length;
    }
    std::string stem = base.substr(0, length);
    for (char& c : stem)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '_';
    if (stem.starts_with("m_"))
        stem.insert(0, "_");
    return stem;
}

} // namespace

std::string_view rename_with_word(NamingMode mode) {
    switch (mode) {
    case NamingMode::CreationDate:
        return "CRE";
    case NamingMode::ModificationDate:
        return "MOD";
    case NamingMode::Pattern:
        return "OTHER";
    case NamingMode::CaptureDate:
        return "CAPTURE";
    case NamingMode::Keep:
        break;
    }
    return "NO";
}

std::optional<NamingMode> naming_mode_of_word(const std::string& word) {
    for (NamingMode mode :
         {NamingMode::Keep, NamingMode::CreationDate, NamingMode::ModificationDate,
          NamingMode::Pattern, NamingMode::CaptureDate})
        if (word == rename_with_word(mode))
            return mode;
    return std::nullopt;
}

bool naming_carries_date(NamingMode mode, const std::string& pattern) {
    switch (mode) {
    case NamingMode::CreationDate:
    case NamingMode::ModificationDate:
    case NamingMode::CaptureDate:
        return true;
    case NamingMode::Pattern:
        return contains(pattern, "{modificationdate}") || contains(pattern, "{creationdate}") ||
               contains(pattern, "{capturedate}");
    case NamingMode::Keep:
        break;
    }
    return false;
}

bool naming_reads_capture_date(NamingMode mode, const std::string& pattern) {
    return mode == NamingMode::CaptureDate ||
           (mode == NamingMode::Pattern && contains(pattern, "{capturedate}"));
}

PictureDates dates_from_record(const std::string& record) {
    return {get_line(2, record), get_line(3, record), {}};
}

std::string base_name(const std::string& path) {
    return file_name(path, false);
}

std::string new_name(NamingMode mode, const std::string& pattern, const std::string& base,
                     const PictureDates& dates) {
    switch (mode) {
    case NamingMode::CreationDate:
        return dates.creation;
    case NamingMode::ModificationDate:
        return dates.modification;
    case NamingMode::CaptureDate:
        return dates.capture;
    case NamingMode::Pattern:
        if (pattern.empty())
            return base;
        {
            std::string name = Remplacer("{same}", base, pattern);
            name = Remplacer("{samelower}", to_lower(base), name);
            name = Remplacer("{sameupper}", to_upper(base), name);
            name = Remplacer("{modificationdate}", dates.modification, name);
            name = Remplacer("{creationdate}", dates.creation, name);
            return Remplacer("{capturedate}", dates.capture, name);
        }
    case NamingMode::Keep:
        break;
    }
    return base;
}

std::string date_folder(NamingMode mode, const std::string& pattern, bool subdir_on,
                        const PictureDates& dates) {
    if (!subdir_on || !naming_carries_date(mode, pattern))
        return {};
    // The date the picture was taken is the one its folder should tell; of the file dates,
    // a pattern with both tokens files by the creation date.
    if (naming_reads_capture_date(mode, pattern))
        return first_eight(dates.capture);
    const bool by_creation = mode == NamingMode::CreationDate ||
                             (mode == NamingMode::Pattern && contains(pattern, "{creationdate}"));
    return first_eight(by_creation ? dates.creation : dates.modification);
}

std::string target_folder(const std::string& destination_folder, const std::string& date_folder) {
    if (date_folder.empty())
        return destination_folder;
    return destination_folder + date_folder + SEP;
}

std::string file_target(const std::string& target_folder, const std::string& name,
                        const std::string& extension) {
    return target_folder + name + "." + extension;
}

int format_index_of(int stored_index) {
    return stored_index >= 0 && stored_index < static_cast<int>(output_formats.size())
               ? stored_index
               : -1;
}

std::string output_extension(int format_index, const std::string& source_extension) {
    // Entry 0 asks for no conversion; with no entry selected there is no choice to honour
    // either, so the copy keeps its format.
    if (format_index_of(format_index) < 0)
        return source_extension;
    const std::string_view extension = output_formats[static_cast<size_t>(format_index)].extension;
    return extension.empty() ? source_extension : std::string(extension);
}

bool is_jpeg_choice(int format_index) {
    return format_index_of(format_index) >= 0 &&
           output_formats[static_cast<size_t>(format_index)].extension == "jpg";
}

std::string bis_proposal(const std::string& target) {
    std::string proposal = target;
    while (file_exists(proposal)) {
        const std::string extension = file_extension(proposal);
        proposal = parent_folder(proposal) + base_name(proposal) + "-bis" +
                   (extension.empty() ? "" : "." + extension);
    }
    return proposal;
}

bool is_plain_name(const std::string& name) {
    return name.find(SEP) == std::string::npos && name.find('\0') == std::string::npos;
}

std::optional<SettledTarget> settle_collision(const std::string& target_folder,
                                              const std::string& name, const std::string& extension,
                                              const LanguageTable& language, Dialogs& dialogs,
                                              ClashAnswer& standing) {
    SettledTarget target{file_target(target_folder, name, extension), name};
    const std::string question = Remplacer("<BR>", CRLF, language.translate("same_name"));
    while (file_exists(target.path)) {
        const std::string proposal = base_name(bis_proposal(target.path));
        if (standing == ClashAnswer::Skip)
            return std::nullopt;
        if (standing == ClashAnswer::TakeProposal) {
            target = {file_target(target_folder, proposal, extension), proposal};
            continue;
        }
        const std::string prompt = Remplacer("#1", target.name + "." + extension, question);
        const CheckedInput answer = dialogs.checked_input_box(
            prompt, std::string(kTwinsTitle), proposal, language.translate("same_answer"));
        if (!answer.text || answer.text->empty()) {
            if (answer.checked)
                standing = ClashAnswer::Skip;
            return std::nullopt;
        }
        // The program's own proposal is free and stands as it is, even when the picture's
        // name holds a dot (IMG.0010-bis); only a name the user typed may not hold one.
        if (*answer.text != proposal && contains(*answer.text, "."))
            continue;
        // A name typed for this picture cannot serve the others: they take their proposals.
        if (answer.checked)
            standing = ClashAnswer::TakeProposal;
        target = {file_target(target_folder, *answer.text, extension), *answer.text};
    }
    return target;
}

std::string free_thumb_path(const std::string& thumbs_dir, const std::string& base,
                            const std::set<std::string>& handed_out) {
    const std::string folder = add_trailing_separator(thumbs_dir);
    const std::string stem = thumb_stem(base);
    std::string path = folder + stem + ".jpg";
    for (int n = 2; handed_out.contains(path) || file_exists(path); ++n)
        path = folder + stem + "_" + std::to_string(n) + ".jpg";
    return path;
}

} // namespace orvix
