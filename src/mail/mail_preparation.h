// Preparing a mail of the selected pictures: the readings of the mail window's
// preferences, the recent recipients, and the preparation itself (copies resized and
// recompressed on the batch road, the confirmation, the hand-over to the mail-sending
// control). Free of Qt: the window gives its texts and its dialogs, and decides where the
// copies are made (in line, or beside the window).
#pragma once

#include "batch/batch.h"
#include "imaging/imaging.h"
#include "platform/dialogs.h"
#include "session/pictures.h"
#include "settings/language.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace orvix {

// The longer sides the size list offers after its first entry (which keeps the size).
inline constexpr std::array<const char*, 5> mail_sizes = {"500", "640", "800", "1024", "2048"};
inline constexpr int recent_recipients_kept = 10;
inline constexpr int default_mail_quality = 65;

// The resize of a size-list index: for 1 to 5 the longer side 500 to 2048 pixels, whichever
// way the picture is turned; otherwise none (the picture keeps its size).
Resize mail_resize(int index);

// The subject a new mail starts with: default_object with "#1" replaced by today's date
// (YYYY-MM-DD).
std::string mail_subject(const LanguageTable& language);

// The recent recipients, most recent first (MAILDESTS).
std::vector<std::string> recent_recipients(const std::string& prefs_text);
// LASTMAILSIZE as a list index; outside 0 to entry_count - 1 it is 0.
int stored_mail_size(const std::string& prefs_text, int entry_count);
// QUALITYMAIL; 0 or less, or above 100, is 65.
int stored_mail_quality(const std::string& prefs_text);
// NOJPEGMAIL: only 1 means the originals are sent.
bool stored_nojpeg(const std::string& prefs_text);

// Puts a new recipient in front of MAILDESTS (at most ten kept, the oldest falls away); one
// already in the list keeps its place. An empty recipient is not remembered.
void remember_recipient(std::string& prefs_text, const std::string& recipient);

// The one member of the mail-sending control the preparation calls.
class MailSender {
public:
    virtual ~MailSender() = default;
    virtual void SendaMail(const std::string& Url, const std::string& Sujet, const std::string& Cc,
                           const std::string& Joindre, const std::string& Texte) = 0;
};

struct MailChoices {
    std::vector<int32_t> selection; // the grid's selected item numbers
    std::string recipient;
    std::string subject;
    std::string message;
    int size_index = 0;
    int quality = default_mail_quality;
    bool nojpeg = false;
};

enum class PrepareOutcome {
    NothingSelected, // the fixed message was shown; nothing was made
    NothingPrepared, // no picture could be prepared: the failures were told, nothing sent
    Stopped,         // stopped during the preparation: the copies are gone, nothing sent
    Declined,        // the user answered No; the copies are gone
    Sent,            // handed to the mail-sending control; the copies stay for the mail client
};

struct MailResult {
    PrepareOutcome outcome = PrepareOutcome::NothingSelected;
    std::string attachments; // the quoted paths handed over
    std::string folder;      // this mail's own folder of copies ("" when none was made)
    double total_kb = 0;     // the attachments' total size
};

// A file name every mail client reads whole from an attachment's path: name itself when it
// is UTF-8 without a comma, a double quote, a backslash or a control character; otherwise a
// readable ASCII form (accented Latin letters without their accents, '_' for the rest).
std::string mail_name(const std::string& name);

// The name of a copy in folder: folder + mail_name(base_name) + "." + extension, or the first
// free "~" name (the first three ASCII characters of that name and a counter) when that is
// taken; "" when every such name is taken.
std::string mail_copy_name(const std::string& folder, const std::string& base_name,
                           const std::string& extension);

// The folder under which each mail gets a private folder of its copies:
// $XDG_CACHE_HOME/orvix/mail/ (by default ~/.cache/orvix/mail/).
std::string mail_folder_root();

// Shows the fixed message and returns true when the selection is empty.
bool tell_empty_selection(const MailChoices& choices, Dialogs& dialogs);

// The files made ready for one mail.
struct MailAttachments {
    std::vector<std::string> files; // in the selection's order
    double total_kb = 0;
    std::string folder; // this mail's own folder of copies ("" when none was made)
    BatchResult batch;  // one outcome a selected item (Skipped when no picture is behind it)
};

// Makes the file to attach for each selected item, one at a time, reading the sink's stop
// flag between pictures. Item n of the selection is pictures[n - 1]. Copies go into a new
// private folder (0700) under mail_root, made when the first copy is. A picture that cannot
// be prepared is Failed with its reason and leaves no copy behind. Originals attached
// unchanged are never touched. After a stop, or when this throws, the copies made so far
// are removed: that mail will not be sent.
MailAttachments prepare_attachments(const MailChoices& choices,
                                    const std::vector<TransferredPicture>& pictures,
                                    const std::string& mail_root, BatchSink& sink);
// The same, with the mail's folder made by make_folder (called once, when the first copy is
// made; "" when it cannot be made).
MailAttachments prepare_attachments(const MailChoices& choices,
                                    const std::vector<TransferredPicture>& pictures,
                                    const std::function<std::string()>& make_folder,
                                    BatchSink& sink);

// What follows the copies. After a stop nothing is asked or sent. Else
// the pictures that could not be prepared are named with their reasons; when none at all
// could be, nothing is asked or sent. Otherwise the total is shown in the question; a mail
// client reads the copies only when the user sends the mail, so after Yes they stay
// (remove_old_mail_folders clears them later), after No they are deleted at once.
MailResult finish_mail(const MailChoices& choices, const MailAttachments& attachments,
                       const LanguageTable& language, Dialogs& dialogs, MailSender& sender,
                       std::string& prefs_text);

// The whole preparation in line: the empty selection, the copies, then finish_mail.
MailResult prepare_mail(const MailChoices& choices, const std::vector<TransferredPicture>& pictures,
                        const std::string& mail_root, const LanguageTable& language,
                        Dialogs& dialogs, MailSender& sender, std::string& prefs_text);
MailResult prepare_mail(const MailChoices& choices, const std::vector<TransferredPicture>& pictures,
                        const std::function<std::string()>& make_folder,
                        const LanguageTable& language, Dialogs& dialogs, MailSender& sender,
                        std::string& prefs_text);

// Removes the mail folders under mail_root whose last change is more than a day before now.
void remove_old_mail_folders(const std::string& mail_root, std::time_t now);

// --- Test hooks ------------------------------------------------------------------------

// Runs on the preparing thread before each picture is prepared, with its path; an empty
// function turns it off.
void set_mail_picture_hook(std::function<void(const std::string&)> hook);

// The mail-sending component library that ships with the program in program_folder.
std::string bundled_component_path(const std::string& program_folder);

} // namespace orvix
