#include "mail/mail_preparation.h"

#include "component/registry.h"
#include "fs/fs.h"
#include "imaging/imaging.h"
#include "settings/prefs.h"
#include "text/text.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace orvix {

namespace {

constexpr const char* nothing_selected = "No file ; you should not see this msg !";
constexpr const char* mail_folder_prefix = "mail-";
constexpr std::time_t kept_seconds = 24 * 60 * 60;

std::string decoded_recipients(const std::string& prefs_text) {
    return get_key_value("MAILDESTS", prefs_text, "$", "=", true);
}

// Letters of Latin-1 and Latin Extended-A (U+00C0 to U+017F) without their accents, '_' where
// a letter has no plain form.
constexpr std::string_view latin_base_letters =
    "AAAAAAACEEEEIIIIDNOOOOO_OUUUUYTsaaaaaaaceeeeiiiidnooooo_ouuuuyty"
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiIiJjKkkLlLlLlL"
    "lLlNnNnNnnNnOoOoOoOoRrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";

// The length of the UTF-8 sequence at text[at] and its code point; 0 when it is not one.
size_t utf8_sequence(std::string_view text, size_t at, char32_t& code) {
    const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = lead < 0x80                   ? 1
                    : lead >= 0xC2 && lead < 0xE0 ? 2
                    : lead >= 0xE0 && lead < 0xF0 ? 3
                    : lead >= 0xF0 && lead < 0xF5 ? 4
                                                  : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

// Characters that do not reach every mail client whole inside an attachment's path: a
// comma splits Thunderbird's list of files, a double quote ends our own list, a backslash is
// rewritten by xdg-email's shell code, and control characters end lines.
bool unsafe_character(char32_t code) {
    return code < 0x20 || code == 0x7F || code == ',' || code == '"' || code == '\\';
}

// Every mail client reads the path as it is: UTF-8 throughout (a client reads its command
// line as UTF-8, so other bytes name a file that does not exist) and no unsafe character.
bool safe_for_mail(std::string_view path) {
    for (size_t at = 0; at < path.size();) {
        char32_t code = 0;
        const size_t length = utf8_sequence(path, at, code);
        if (length == 0 || unsafe_character(code))
            return false;
        at += length;
    }
    return true;
}

// This mail's own folder: private, under mail_root, else under the temporary folder.
std::string new_mail_folder(const std::string& mail_root) {
    if (!mail_root.empty() && safe_for_mail(mail_root) && make_private_path(mail_root)) {
        const std::string folder = make_private_folder(mail_root, mail_folder_prefix);
        if (!folder.empty())
            return folder;
    }
    const std::string folder = make_private_temp_folder("orvix-mail");
    if (folder.empty() || safe_for_mail(folder))
        return folder;
    clear_folder(folder, true, true);
    return {};
}

// copy_file tells its failure in a box of its own; the preparation names every failure in
// one box at the end instead.
class QuietDialogs final : public Dialogs {
public:
    Answer message_box(const std::string&, const std::string&, Icon, Buttons) override {
        return Answer::Ok;
    }
    std::optional<std::string> input_box(const std::string&, const std::string&,
                                         const std::string&) override {
        return std::nullopt;
    }
    std::optional<size_t> choice_box(const std::string&, const std::string&, Icon,
                                     const std::vector<std::string>&) override {
        return std::nullopt;
    }
};

std::function<void(const std::string&)>& picture_hook() {
    static std::function<void(const std::string&)> hook;
    return hook;
}

// The copies of one mail, in a folder of its own. The folder goes with them unless it is
// kept for the mail.
class MailCopies {
public:
    MailCopies(const std::function<std::string()>& make_folder, const MailChoices& choices)
        : m_make_folder(make_folder), m_choices(choices) {}
    ~MailCopies() {
        if (!m_kept && !m_folder.empty())
            clear_folder(m_folder, true, true);
    }
    MailCopies(const MailCopies&) = delete;
    MailCopies& operator=(const MailCopies&) = delete;

    // Makes the file to attach for picture into file.
    FileOutcome prepare(const std::string& picture, std::string& file) {
        if (!m_choices.nojpeg)
            return recompressed(picture, file);
        // An original is attached as it is; only a path that cannot travel is copied.
        if (!safe_for_mail(picture))
            return copied(picture, file);
        if (!file_exists(picture))
            return FileOutcome::failed_with_errno(picture, ENOENT);
        file = picture;
        return FileOutcome::done(picture);
    }

    // The folder, now the caller's to remove.
    const std::string& keep() {
        m_kept = true;
        return m_folder;
    }

private:
    bool have_folder() {
        if (m_folder.empty() && !m_failed) {
            m_folder = m_make_folder();
            m_failed = m_folder.empty();
        }
        return !m_folder.empty();
    }

    FileOutcome recompressed(const std::string& picture, std::string& file) {
        if (!have_folder())
            return FileOutcome::failed_because(picture, "reason_no_mail_folder");
        const std::string target = mail_copy_name(m_folder, file_name(picture, false), "jpg");
        if (target.empty())
            return FileOutcome::failed_because(picture, "reason_no_free_name");
        const int32_t code =
            convert_image(picture, target,
                          {.crop = {},
                           .resize = mail_resize(m_choices.size_index),
                           .quality = static_cast<int16_t>(std::clamp(m_choices.quality, 1, 100)),
                           .upright = true});
        if (code != 0 || !file_exists(target)) {
            // Whatever the conversion left is not a picture to send.
            delete_file(target, false, false);
            return code != 0 ? FileOutcome::failed_with_code(picture, code)
                             : FileOutcome::failed_because(picture, "reason_write");
        }
        file = target;
        return FileOutcome::done(picture);
    }

    FileOutcome copied(const std::string& picture, std::string& file) {
        if (!have_folder())
            return FileOutcome::failed_because(picture, "reason_no_mail_folder");
        const std::string target =
            mail_copy_name(m_folder, file_name(picture, false), file_extension(picture));
        if (target.empty())
            return FileOutcome::failed_because(picture, "reason_no_free_name");
        QuietDialogs quiet;
        if (const int error = copy_file(picture, target, quiet); error != 0)
            return FileOutcome::failed_with_errno(picture, error);
        file = target;
        return FileOutcome::done(picture);
    }

    const std::function<std::string()>& m_make_folder;
    const MailChoices& m_choices;
    std::string m_folder;
    bool m_failed = false;
    bool m_kept = false;
};

} // namespace

std::string mail_name(const std::string& name) {
    if (safe_for_mail(name))
        return name;
    std::string result;
    for (size_t at = 0; at < name.size();) {
        char32_t code = 0;
        const size_t length = utf8_sequence(name, at, code);
        if (length == 0) {
            result += '_';
            ++at;
            continue;
        }
        at += length;
        if (code < 0x80)
            result += unsafe_character(code) ? '_' : static_cast<char>(code);
        else if (code >= 0xC0 && code < 0xC0 + latin_base_letters.size())
            result += latin_base_letters[code - 0xC0];
        else
            result += '_';
    }
    return result;
}

std::string mail_copy_name(const std::string& folder, const std::string& base_name,
                           const std::string& extension) {
    const std::string base = mail_name(base_name);
    const std::string wanted = add_trailing_separator(folder) + base + "." + mail_name(extension);
    if (!file_exists(wanted))
        return wanted;
    // The counter's name takes the first three bytes of its prefix: ASCII ones, so no
    // character is cut in two.
    std::string ascii;
    for (const char c : base)
        ascii += static_cast<unsigned char>(c) < 0x80 ? c : '_';
    std::string where = folder;
    return temp_file_name(ascii, mail_name(extension), where);
}

Resize mail_resize(int index) {
    if (index < 1 || index > static_cast<int>(mail_sizes.size()))
        return {};
    return {.width = std::atoi(mail_sizes[static_cast<size_t>(index - 1)]), .orient = true};
}

std::string mail_subject(const LanguageTable& language) {
    const std::string date = get_tokens("1-3", timestamp(false, true), "-");
    return Remplacer("#1", date, language.translate("default_object"));
}

std::vector<std::string> recent_recipients(const std::string& prefs_text) {
    const std::string list = decoded_recipients(prefs_text);
    if (list.empty())
        return {};
    return split(list, std::string(1, CR));
}

int stored_mail_size(const std::string& prefs_text, int entry_count) {
    const int index = numeric_value(get_key_value("LASTMAILSIZE", prefs_text));
    return index < 0 || index > entry_count - 1 ? 0 : index;
}

int stored_mail_quality(const std::string& prefs_text) {
    const int quality = numeric_value(get_key_value("QUALITYMAIL", prefs_text));
    return quality <= 0 || quality > 100 ? default_mail_quality : quality;
}

bool stored_nojpeg(const std::string& prefs_text) {
    return numeric_value(get_key_value("NOJPEGMAIL", prefs_text)) == 1;
}

void remember_recipient(std::string& prefs_text, const std::string& recipient) {
    if (recipient.empty())
        return;
    const std::string line_break(1, CR);
    std::string list = decoded_recipients(prefs_text);
    const std::vector<std::string> lines =
        list.empty() ? std::vector<std::string>() : split(list, line_break);
    if (std::find(lines.begin(), lines.end(), recipient) == lines.end()) {
        if (list.empty()) {
            list = recipient;
        } else {
            list = recipient + line_break + list;
            while (nb_tokens(list, line_break) > recent_recipients_kept)
                list = remove_token(recent_recipients_kept + 1, list, line_break);
        }
    }
    set_key_value("MAILDESTS", prefs_text, list, "$", "=", true);
}

std::string mail_folder_root() {
    const std::string cache = xdg_base_folder(XdgBase::Cache);
    return cache.empty() ? std::string() : cache + "orvix/mail/";
}

bool tell_empty_selection(const MailChoices& choices, Dialogs& dialogs) {
    if (!choices.selection.empty())
        return false;
    dialogs.message_box(nothing_selected, "", Icon::None, Buttons::Ok);
    return true;
}

MailAttachments prepare_attachments(const MailChoices& choices,
                                    const std::vector<TransferredPicture>& pictures,
                                    const std::string& mail_root, BatchSink& sink) {
    return prepare_attachments(
        choices, pictures, [&mail_root] { return new_mail_folder(mail_root); }, sink);
}

MailAttachments prepare_attachments(const MailChoices& choices,
                                    const std::vector<TransferredPicture>& pictures,
                                    const std::function<std::string()>& make_folder,
                                    BatchSink& sink) {
    MailAttachments result;
    MailCopies copies(make_folder, choices);
    const auto attach = [&](size_t index) {
        const int32_t n = choices.selection[index];
        // An item number with no picture behind it (the grid and the list out of step) is
        // left out instead of reaching past the list.
        if (n <= 0 || n > static_cast<int>(pictures.size()))
            return FileOutcome::of({}, Outcome::Skipped);
        const std::string& picture = pictures[static_cast<size_t>(n - 1)].picture_path;
        if (picture.empty())
            return FileOutcome::of({}, Outcome::Skipped);
        if (picture_hook())
            picture_hook()(picture);
        std::string file;
        FileOutcome outcome = copies.prepare(picture, file);
        if (outcome.status == Outcome::Done) {
            result.files.push_back(file);
            result.total_kb += static_cast<double>(file_length(file)) / 1024.0;
        }
        return outcome;
    };
    result.batch = run_batch(choices.selection.size(), attach, sink);
    // A stop asked during the last picture still means no mail.
    result.batch.stopped = result.batch.stopped || sink.stop_requested();
    if (result.batch.stopped) {
        result.files.clear();
        result.total_kb = 0;
        return result;
    }
    result.folder = copies.keep();
    return result;
}

MailResult finish_mail(const MailChoices& choices, const MailAttachments& attachments,
                       const LanguageTable& language, Dialogs& dialogs, MailSender& sender,
                       std::string& prefs_text) {
    MailResult result;
    result.folder = attachments.folder;
    result.total_kb = attachments.total_kb;
    const auto remove_copies = [&result] {
        if (!result.folder.empty())
            clear_folder(result.folder, true, true);
    };
    if (attachments.batch.stopped) {
        result.outcome = PrepareOutcome::Stopped;
        return result;
    }
    report_failures(attachments.batch.outcomes, "mail_left_out", language, dialogs);
    if (attachments.files.empty()) {
        // Only items without a picture behind them: the selection held nothing to send.
        if (attachments.batch.count(Outcome::Failed) == 0)
            dialogs.message_box(nothing_selected, "", Icon::None, Buttons::Ok);
        remove_copies();
        result.outcome = PrepareOutcome::NothingPrepared;
        return result;
    }
    for (const std::string& file : attachments.files) {
        if (!result.attachments.empty())
            result.attachments += ' ';
        result.attachments += "\"" + file + "\"";
    }

    // The total goes in first, so a "#1" inside the recipient is shown as typed.
    const std::string question = Remplacer("#2", choices.recipient,
                                           Remplacer("#1", std::to_string(to_int(result.total_kb)),
                                                     language.translate("confirm_send")));
    const Answer answer =
        dialogs.message_box(question, application_title, Icon::Exclamation, Buttons::YesNo);
    if (answer == Answer::Yes) {
        sender.SendaMail(choices.recipient, choices.subject, "", result.attachments,
                         choices.message);
        remember_recipient(prefs_text, choices.recipient);
        result.outcome = PrepareOutcome::Sent;
        return result;
    }
    remove_copies();
    result.outcome = PrepareOutcome::Declined;
    return result;
}

MailResult prepare_mail(const MailChoices& choices, const std::vector<TransferredPicture>& pictures,
                        const std::string& mail_root, const LanguageTable& language,
                        Dialogs& dialogs, MailSender& sender, std::string& prefs_text) {
    return prepare_mail(
        choices, pictures, [&mail_root] { return new_mail_folder(mail_root); }, language, dialogs,
        sender, prefs_text);
}

MailResult prepare_mail(const MailChoices& choices, const std::vector<TransferredPicture>& pictures,
                        const std::function<std::string()>& make_folder,
                        const LanguageTable& language, Dialogs& dialogs, MailSender& sender,
                        std::string& prefs_text) {
    if (tell_empty_selection(choices, dialogs))
        return {};
    BatchSink in_line;
    const MailAttachments attachments =
        prepare_attachments(choices, pictures, make_folder, in_line);
    return finish_mail(choices, attachments, language, dialogs, sender, prefs_text);
}

void remove_old_mail_folders(const std::string& mail_root, std::time_t now) {
    if (mail_root.empty())
        return;
    const std::string root = add_trailing_separator(mail_root);
    const std::optional<std::vector<std::string>> names = folder_entry_names(root);
    if (!names)
        return;
    std::vector<std::string> old;
    for (const std::string& name : *names) {
        if (!name.starts_with(mail_folder_prefix))
            continue;
        const std::string path = root + name;
        // Only folders of this user's own, never through a link.
        const std::optional<FileStatus> status = link_status(path);
        if (status && status->is_folder && status->owned_by_me &&
            status->mtime_sec + kept_seconds < now)
            old.push_back(path);
    }
    for (const std::string& folder : old)
        clear_folder(folder, true, true);
}

void set_mail_picture_hook(std::function<void(const std::string&)> hook) {
    picture_hook() = std::move(hook);
}

std::string bundled_component_path(const std::string& program_folder) {
    return add_trailing_separator(program_folder) + ORVIX_COMPONENT_FOLDER_FROM_PROGRAM + "/" +
           ORVIX_SENDIX_FILE_NAME;
}

} // namespace orvix
