// The edit commands of the toolbar, free of widgets: turn, flip, crop, resize and delete
// the pictures selected in the thumbnail grid, remake their thumbnails and refill the grid
// once at the end with the selection kept. The main window hands over the records of the
// last transfer, the grid (behind ThumbnailGrid), the dialogs, the busy pointer, the batch
// sink and the crop window; tests hand over scripted ones.
//
// Each command is a batch over the selected items, walked from the first to the last: one
// outcome a picture, the stop flag read between pictures. Every picture is rewritten
// through the imaging module, which replaces a file only by a complete one, so a failed or
// stopped edit leaves the picture as it was. Failures are told in one message at the end
// of a command, naming each picture and its reason.
#pragma once

#include "batch/batch.h"
#include "editing/undo.h"
#include "geometry/geometry.h"
#include "session/pictures.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvix {

class Dialogs;
class LanguageTable;
class Trash;

// What the commands read from and write to the thumbnail grid `tex`.
class ThumbnailGrid {
public:
    virtual ~ThumbnailGrid() = default;
    // The accepted items' paths in item order, joined by carriage returns (a file the grid
    // dropped at load is not among them).
    virtual std::string filelist() const = 0;
    virtual void set_filelist(const std::string& text) = 0;
    // The selected item numbers (from 1), ascending.
    virtual std::vector<int32_t> selected_items() const = 0;
    virtual void select_items(const std::vector<int32_t>& items) = 0;
    virtual void set_LockScreen(bool lock) = 0;
    virtual std::string File_Titlestring(int32_t index) const = 0;
    virtual void set_File_Titlestring(int32_t index, const std::string& text) = 0;
    virtual void set_TitleText(const std::string& text) = 0;
    virtual void refresh() = 0;
};

// Shows the busy pointer for as long as the returned guard lives.
using BusyPointer = std::function<std::shared_ptr<void>()>;

// Shows the crop window with the picture at path, modally; returns the accepted corners
// (x1, y1, x2, y2 in the picture's pixels, in the order they were dragged), or
// std::nullopt when the window was closed without accepting.
using CropWindow = std::function<std::optional<Rect>(const std::string& path)>;

struct EditContext {
    std::vector<TransferredPicture>& transferred_pictures;
    std::string thumbs_dir; // with a trailing separator
    const LanguageTable& language;
    Dialogs& dialogs;
    ThumbnailGrid& grid;
    BusyPointer busy;            // may be empty
    BatchSink* batch = nullptr;  // progress and stop requests; none: every picture is done
    Trash* trash = nullptr;      // where a delete puts the pictures; none: deleted for good
    UndoHistory* undo = nullptr; // keeps what each command changes; none: nothing is kept
};

enum class EditOutcome {
    Changed,   // the picture was rewritten (or deleted) and its thumbnail remade
    Unchanged, // nothing to do for it (an empty crop, a crop of the whole picture)
    Skipped,   // no record of the last transfer belongs to the grid item
    Failed,    // the picture could not be changed; it is as it was
    // The picture was rewritten but its thumbnail could not be made again: the grid still
    // shows it as it was, and the command says so.
    ThumbnailStale,
};

// The code of a picture left alone because its owner may not write it.
inline constexpr int32_t kPictureReadOnly = -300;
// The code of a picture left alone because its file as it was could not be kept for undo.
inline constexpr int32_t kPictureNotKept = -301;

// One picture's outcome in a command, beside the grid item that showed it.
struct EditResult {
    int32_t item = 0;
    std::string picture;
    EditOutcome outcome = EditOutcome::Skipped;
    // The imaging result of a failure (of the thumbnail for ThumbnailStale), or
    // kPictureReadOnly.
    int32_t code = 0;
    int system_error = 0; // the errno of a picture that could not be deleted

    // The outcome as the batch reports it: a stale thumbnail is a picture done.
    FileOutcome file_outcome() const;
};
using EditReport = std::vector<EditResult>;

// A command in three steps, so that its pictures can be worked on beside the window: the
// selection read and the questions asked first (the plan_ functions, on the window's
// thread), then the pictures (run, which touches only files and may run on a worker),
// then the records, the grid and the report (finish, on the window's thread again).
class EditBatch {
public:
    struct Target {
        int32_t item = 0;
        std::optional<TransferredPicture> record; // none: no record, skipped
        size_t record_index = 0;                  // the record's place among the pictures
    };
    // The work on one target with a record; index is its place in the batch.
    using Edit = std::function<EditResult(size_t index, const Target& target)>;
    enum class Refill { KeepSelection, DropSelection };

    // undo: where each picture's file goes before it is changed; none keeps nothing.
    EditBatch(std::vector<int32_t> selection, std::vector<Target> targets, Edit edit, Refill refill,
              std::unique_ptr<UndoStep> undo);

    // The grid items it works on, in order; each becomes one outcome.
    size_t size() const { return m_targets.size(); }
    // The pictures, from the first selected item to the last, the sink's stop flag read
    // between them. Files only: neither the records nor the grid are touched.
    void run(BatchSink& sink);
    // Drops the records of deleted pictures, refills the grid (with the selection kept for
    // a rewrite), hands what it kept to the context's undo, tells the failures and returns
    // one result an item worked on.
    EditReport finish(EditContext& context);

private:
    std::vector<int32_t> m_selection;
    std::vector<Target> m_targets;
    Edit m_edit;
    Refill m_refill;
    std::unique_ptr<UndoStep> m_undo;
    EditReport m_report;
};

// The plans of the commands below. std::nullopt when the command does nothing (a question
// answered Cancel or No, nothing selected where that asks nothing).
std::optional<EditBatch> plan_transform(EditContext& context, std::string_view key);
std::optional<EditBatch> plan_resize(EditContext& context, int size, int16_t quality);
std::optional<EditBatch> plan_typed_resize(EditContext& context);
std::optional<EditBatch> plan_delete(EditContext& context);

// Runs a planned command in line under the busy pointer, with the context's sink.
EditReport run_in_line(EditContext& context, std::optional<EditBatch> batch);

// Shows the records in the grid: their thumbnails as the file list, each with the
// caption of its picture (name, size in pixels, size in Kb), the custom title shown.
void fill_thumbnail_grid(EditContext& context);
// The same after a command: the pictures it did not change keep the captions the grid
// shows, so the pictures read are only those it changed, whatever the grid's size.
void refill_thumbnail_grid(EditContext& context, const std::vector<std::string>& changed);

// The picture of grid item `item`: that of the one record whose thumbnail is the item's
// file. "" when none, or more than one, has it. Every command finds its pictures so: a
// base name may be shared by two pictures, the thumbnail's path never.
std::string find_picture_of_item(const EditContext& context, int32_t item);

// The picture's file name, its size "(W x H)" ("(ERROR)" when it cannot be read) and its
// weight in kilobytes, on three lines: its caption in the grid.
std::string thumbnail_caption(const std::string& picture_path);

// The code of a rotate menu key (qvd 5, cqv 6, dcsd 7, fliph 1, flipv 2); 0 for others.
int16_t transform_code(std::string_view key);

// Turns or flips each selected picture: a JPEG without re-encoding when its size allows
// it exactly (re-encoded when its layout cannot be turned so), other formats re-encoded in
// their own format. When a lossless turn of some JPEGs would cut off their partial edge
// blocks, one question ("turn_not_exact") is asked before any file is touched: cut the
// edges, re-encode those pictures at quality 100, or Cancel, which changes nothing. The
// grid is refilled with the selection kept.
EditReport transform_selected(EditContext& context, std::string_view key);

// Resizes each selected picture to `size` pixels on its longer side, at the JPEG quality
// of the main window's quality box.
EditReport resize_selected(EditContext& context, int size, int16_t quality);

// Asks for a size ("choose_size") and resizes each selected picture to it, as the resize
// text of the imaging module reads it. Nothing is asked with nothing selected; a Cancel,
// an empty answer or one that names no size changes nothing.
EditReport resize_to_typed_size(EditContext& context);

// Asks and, on Yes, deletes each selected picture and its thumbnail, and drops its record
// once all are done. A picture goes to the desktop's trash when its volume has one; when
// some have none the question ("no_trash" instead of "confirm_delete") says
// how many are deleted for good. No is the default answer. A picture that stays on disk
// keeps its record and thumbnail, and the message names why it stayed.
EditReport delete_selected(EditContext& context);

// Takes back the last command of the context's undo: each picture it changed gets its file
// back byte for byte (through a replacement file, so the current one stays until the old
// one is whole), a deleted one its record at its place, and each its thumbnail remade; the
// pictures are then selected. Pictures changed on disk since the command are overwritten
// only when the user says so ("undo_changed", default No); the others are left as they
// are. Nothing is left to undo afterwards.
EditReport undo_last(EditContext& context);

// Shows the first selected picture in the crop window (a JPEG copy in the thumbnail folder
// for formats the window cannot show, removed when it closes) and crops the picture itself
// to the accepted rectangle.
EditReport crop_selected(EditContext& context, const CropWindow& crop_window);

// Remakes the record's thumbnail from its picture, always into its own thumb_path.
int32_t remake_thumbnail(const TransferredPicture& record);

// crop_result, the main window's text of the accepted corners: "x1/y1/x2/y2", "" for none.
std::string crop_result_text(const std::optional<Rect>& corners);
// The corners a crop_result text holds: each "/" field's leading number, missing fields 0;
// std::nullopt for "".
std::optional<Rect> crop_corners_of_result(const std::string& crop_result);

// The crop of a picture of that size for the corners: corners dragged past each other put
// back in order, edges kept inside the picture. std::nullopt when nothing would be left,
// or nothing cut off.
std::optional<Rect> crop_in_picture(const Rect& corners, Size picture);

} // namespace orvix
