// The transfer run: copies every picture of the source folder to the destination,
// named and filed, converted when asked, thumbnailed, originals deleted when asked and
// verified. Widget-free: the main window hands it a snapshot of its controls, the
// dialogs and a progress sink.
#pragma once

#include "batch/batch.h"
#include "fs/fs.h"
#include "session/pictures.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvix {

class Dialogs;
class LanguageTable;
class TaskQueue;

// CaptureDate names a picture by the EXIF date it was taken, or by its creation date when it
// has none.
enum class NamingMode { Keep, CreationDate, ModificationDate, Pattern, CaptureDate };

// What the run reads from the main window.
struct TransferOptions {
    std::string source_text;      // chemin, as typed
    std::string destination_text; // destin, as typed
    NamingMode naming = NamingMode::Keep;
    std::string pattern;         // renpattern
    bool subdir_enabled = false; // subdir enabled ...
    bool subdir_checked = false; // ... and checked: only both give date folders
    int format_index =
        0; // formatchoice: 0 none, 1 jpg, 2 bmp, 3 tif, 4 png, 5 psd; -1 none selected
    std::string quality_text; // quality box as typed
    bool show_thumbs = false;
    bool delete_originals = false;
    // The record of what was transferred ("" keeps none), used only with only_new: the
    // pictures it holds for the source's card are left out of the run, and each picture
    // whose copy was read back equal goes into it at once. A record that cannot be opened
    // is said once and every picture counts as new.
    std::string history_path;
    bool only_new = false;
    SystemTables volume_tables; // where the source's card is looked up
    // autorotate: each JPEG copy is stood upright (its EXIF orientation applied) where that
    // loses nothing, and a converted picture is drawn upright.
    bool auto_rotate = false;
    // Asked before each picture: true stops the run there, after the picture in hand.
    std::function<bool()> stop_requested;
};

// The progress bar and the quality box as the run drives them.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void set_min(int value) = 0;
    virtual void set_max(int value) = 0;
    virtual void set_value(int value) = 0;
    virtual void set_caption(const std::string& caption) = 0;
    virtual void set_visible(bool visible) = 0;
    // The run writes "100" back into the quality box when the typed quality is out of range.
    virtual void set_quality_text(const std::string& text) = 0;
    // Before the first picture (0) and after each: the bytes of the pictures dealt with so
    // far, out of all of them, for a speed and a time left.
    virtual void set_bytes_done(int64_t done, int64_t total) {
        (void)done;
        (void)total;
    }
};

struct TransferOutcome {
    int found = 0;        // pictures listed
    int copied = 0;       // copies made (and, when originals are deleted, verified)
    int failed = 0;       // copies missing or, when originals are deleted, not verified
    bool ran = false;     // false when an early message ended the run
    bool stopped = false; // a stop was asked before the last picture
    // Originals whose verified copy was made but which could not be deleted (a
    // write-protected card); they count as copied and the report names them.
    std::vector<std::string> originals_kept;
    // With auto_rotate: JPEG copies left turned by their tag, as their turn was not exact
    // (they still show upright); the report counts them ("x_kept_tagged").
    int kept_tagged = 0;
    // What became of each picture dealt with, by its path on the source, in the order of
    // the listing; the pictures after a stop have none. Done: copied (and converted,
    // original deleted) as asked. Skipped: a collision question was cancelled (at the
    // converted name, the copy stands and counts as copied). Failed,
    // with the system error of a copy or a folder that could not be made, the imaging code
    // of a conversion, or a reason key ("reason_write" for a name that cannot be a path or
    // a copy that does not stand for its original). A failed conversion and an original the
    // system refused to delete leave the copy standing: those count as copied, the other
    // failures as failed.
    std::vector<FileOutcome> files;
    // Pictures named by the capture date (the mode or the pattern's token) that had none:
    // their creation date stood in for it, and the report says how many.
    int without_capture_date = 0;
    // Pictures whose name clash was cancelled, asked or by the answer given for the rest of
    // the run (at the converted name too, where the copy stands); the report counts them.
    int skipped_at_clash = 0;
};

// The JPEG quality a typed value stands for: 1 to 100 as typed; 0, a negative value or
// anything above 100 is read as 100.
int jpeg_quality_of(int typed);

// Runs the whole transfer. transferred_pictures is emptied, then gets one record per
// picture whose thumbnail was made. before_report runs after the loop and before the
// final report (the window refreshes its status and fills the grid there).
// Thumbnails are handed to thumbnail_tasks, so they can be made while the next picture is
// copied (nullptr: made in line); transferred_pictures keeps the order of the listing, and
// every thumbnail is done before before_report. When options.stop_requested answers true
// before a picture, the run stops there: the pictures before it are complete, the rest are
// not touched, and the report says how many were copied ("transfer_stopped").
// A destination that is the source folder or lies inside it is refused before anything
// is copied ("dest_inside_source"). A destination given as a full path that does not exist
// is offered to be made, with its parents ("dest_create"); No, or a folder that cannot be
// made ("dest_not_made"), ends the run there. A name holding '/' is never used as a path: that
// picture fails as a copy error. An original is deleted only when its copy was read back
// from disk equal to it, the file that replaces it exists, and the source has not
// changed since it was copied; otherwise it stays and the picture counts as failed.
// An original that the system refuses to delete stays too; its copy counts as copied, and
// the report, then critical, names it ("x_not_deleted"). A quality below 1 or above 100
// is read as 100 and written back. Every box goes through dialogs.
TransferOutcome run_transfer(const TransferOptions& options, const std::string& thumbs_dir,
                             const LanguageTable& language, Dialogs& dialogs,
                             ProgressSink& progress,
                             std::vector<TransferredPicture>& transferred_pictures,
                             const std::function<void()>& before_report = {},
                             TaskQueue* thumbnail_tasks = nullptr);

// Test hook: called with the source and its copy right after each copy is made and before
// it is checked, so a test can alter either as a faulty card or disk would. An empty
// function removes it.
void set_after_copy_hook(
    std::function<void(const std::string& source, const std::string& copy)> hook);

} // namespace orvix
