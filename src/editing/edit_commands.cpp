#include "editing/edit_commands.h"

#include "fs/fs.h"
#include "imaging/imaging.h"
#include "imaging/picture_layer.h"
#include "platform/dialogs.h"
#include "platform/trash.h"
#include "settings/language.h"
#include "text/text.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace orvix {

namespace {

constexpr int16_t kEditQuality = 100;
// Formats the crop window shows as they are; the others go through a JPEG copy.
constexpr std::array<std::string_view, 3> kShownAsTheyAre = {"jpeg", "jpg", "bmp"};

int32_t convert_in_place(const std::string& picture, const ConvertRequest& request) {
    return convert_image(picture, picture, request);
}

std::shared_ptr<void> busy(const EditContext& context) {
    return context.busy ? context.busy() : nullptr;
}

EditResult skipped(int32_t item) {
    return {.item = item, .picture = "", .outcome = EditOutcome::Skipped};
}

// Runs edit on the record's picture, unless the picture is read-only, and remakes its
// thumbnail after a success when asked. A picture changed whose thumbnail could not be
// made again is told apart from one fully done.
EditResult rewrite(int32_t item, const TransferredPicture& record,
                   const std::function<int32_t()>& edit, bool remake = true) {
    // A picture the user protected is never rewritten (the rename that replaces a file
    // would not ask).
    const int32_t rc = read_only(record.picture_path) ? kPictureReadOnly : edit();
    if (rc != 0)
        return {.item = item,
                .picture = record.picture_path,
                .outcome = EditOutcome::Failed,
                .code = rc};
    const int32_t thumb = remake ? remake_thumbnail(record) : 0;
    if (thumb != 0)
        return {.item = item,
                .picture = record.picture_path,
                .outcome = EditOutcome::ThumbnailStale,
                .code = thumb};
    return {.item = item, .picture = record.picture_path, .outcome = EditOutcome::Changed};
}

// The selected items with the record behind each, looked up once for the command.
std::vector<EditBatch::Target> targets_of(const EditContext& context,
                                          const std::vector<int32_t>& items) {
    const PictureMap map(context.transferred_pictures, grid_items(context.grid.filelist()));
    std::vector<EditBatch::Target> targets;
    targets.reserve(items.size());
    for (const int32_t item : items) {
        const std::optional<size_t> index = map.record_of_item(item);
        targets.push_back(
            {item, index ? std::optional(context.transferred_pictures[*index]) : std::nullopt,
             index.value_or(0)});
    }
    return targets;
}

// A step to keep the pictures of a command in, when the context keeps them.
std::unique_ptr<UndoStep> undo_step(const EditContext& context) {
    return context.undo ? context.undo->begin() : nullptr;
}

// Keeps the target's picture in step before edit changes it, and hands the step what the
// edit changed. A picture that cannot be kept is not changed: the edit could not be taken
// back.
EditResult keep_and_edit(UndoStep* step, const EditBatch::Target& target, bool deletes,
                         const std::function<EditResult()>& edit) {
    if (!step)
        return edit();
    const TransferredPicture& record = *target.record;
    int error = 0;
    const std::string kept = step->keep(record.picture_path, error);
    if (kept.empty())
        return {.item = target.item,
                .picture = record.picture_path,
                .outcome = EditOutcome::Failed,
                .code = kPictureNotKept};
    EditResult result = edit();
    if (result.outcome != EditOutcome::Changed && result.outcome != EditOutcome::ThumbnailStale) {
        step->drop(kept);
        return result;
    }
    step->add({.item = target.item,
               .record_index = target.record_index,
               .record = record,
               .kept = kept,
               .deleted = deletes,
               .after = deletes ? std::nullopt : file_status(record.picture_path)});
    return result;
}

// Every failure in one message, and the pictures changed whose thumbnails are stale in
// another: neither reads as done.
void tell_failures(const EditContext& context, const EditReport& report) {
    std::vector<FileOutcome> failed, stale;
    for (const EditResult& result : report) {
        if (result.outcome == EditOutcome::Failed)
            failed.push_back(result.file_outcome());
        else if (result.outcome == EditOutcome::ThumbnailStale)
            stale.push_back(FileOutcome::failed_with_code(result.picture, result.code));
    }
    report_failures(failed, "edit_failed", context.language, context.dialogs);
    report_failures(stale, "thumb_failed", context.language, context.dialogs);
}

// Removes a file of the thumbnail folder when it goes out of scope, on every path.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : m_path(std::move(path)) {}
    ~TemporaryFile() {
        if (!m_path.empty())
            delete_file(m_path, false, false);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Whether a resize text names a size at all (markers aside).
bool names_a_size(const std::string& text) {
    std::string numbers = text;
    std::erase(numbers, '*');
    std::erase(numbers, '>');
    return numeric_value(get_tokens(1, numbers, ",")) != 0 ||
           numeric_value(get_tokens(2, numbers, ",")) != 0;
}

// One selected item of a turn, looked at before anything is written.
struct PlannedTurn {
    int32_t item = 0;
    std::optional<TransferredPicture> record; // none: skipped
    bool jpeg = false;
    // The lossless turn of the stored pixels: the command composed with the picture's own
    // EXIF orientation, so that it acts on the picture as the user sees it.
    int16_t turn = 0;
    // Rows or columns a lossless turn would cut off; none when it cannot turn losslessly.
    std::optional<int> lost;
};

enum class InexactTurn { Trim, Reencode };

// The user's answer for the JPEGs that a lossless turn would cut ("turn_not_exact"),
// asked with the normal pointer. Trim when there are none; std::nullopt for a Cancel.
std::optional<InexactTurn> ask_about_inexact_turns(const EditContext& context,
                                                   const std::vector<PlannedTurn>& plan) {
    int count = 0, most = 0;
    for (const PlannedTurn& turn : plan) {
        if (turn.lost && *turn.lost > 0) {
            ++count;
            most = std::max(most, *turn.lost);
        }
    }
    if (count == 0)
        return InexactTurn::Trim;
    const LanguageTable& language = context.language;
    const std::string text =
        Remplacer("#2", std::to_string(most),
                  Remplacer("#1", std::to_string(count), language.translate("turn_not_exact")));
    const std::optional<size_t> choice = context.dialogs.choice_box(
        text, application_title, Icon::Question,
        {language.translate("turn_trim"), language.translate("turn_reencode")});
    if (!choice)
        return std::nullopt;
    return *choice == 0 ? InexactTurn::Trim : InexactTurn::Reencode;
}

// Puts deleted records back, lowest place first, each at its place (or at the end) among
// the records then standing, in one pass: inserting them one by one would move every later
// record each time.
void put_back_records(std::vector<TransferredPicture>& records,
                      const std::vector<const KeptPicture*>& back) {
    if (back.empty())
        return;
    std::vector<TransferredPicture> merged;
    merged.reserve(records.size() + back.size());
    auto next = records.begin();
    for (const KeptPicture* picture : back) {
        const size_t place = picture->record_index;
        while (next != records.end() && merged.size() < place)
            merged.push_back(std::move(*next++));
        // A place already taken by one put back before (two kept for one place): the later
        // goes before it, as inserting them one by one would put it.
        const size_t at = std::min(place, merged.size());
        merged.insert(merged.begin() + static_cast<std::ptrdiff_t>(at), picture->record);
    }
    merged.insert(merged.end(), std::make_move_iterator(next),
                  std::make_move_iterator(records.end()));
    records = std::move(merged);
}

} // namespace

FileOutcome EditResult::file_outcome() const {
    switch (outcome) {
    case EditOutcome::Changed:
    case EditOutcome::ThumbnailStale:
        return FileOutcome::done(picture);
    case EditOutcome::Unchanged:
        return FileOutcome::of(picture, Outcome::Unchanged);
    case EditOutcome::Skipped:
        return FileOutcome::of(picture, Outcome::Skipped);
    case EditOutcome::Failed:
        break;
    }
    if (system_error != 0)
        return FileOutcome::failed_with_errno(picture, system_error);
    if (code == kPictureReadOnly)
        return FileOutcome::failed_because(picture, "reason_read_only");
    if (code == kPictureNotKept)
        return FileOutcome::failed_because(picture, "reason_not_kept");
    return FileOutcome::failed_with_code(picture, code);
}

EditBatch::EditBatch(std::vector<int32_t> selection, std::vector<Target> targets, Edit edit,
                     Refill refill, std::unique_ptr<UndoStep> undo)
    : m_selection(std::move(selection)), m_targets(std::move(targets)), m_edit(std::move(edit)),
      m_refill(refill), m_undo(std::move(undo)) {}

void EditBatch::run(BatchSink& sink) {
    m_report.clear();
    run_batch(
        m_targets.size(),
        [this](size_t index) {
            const Target& target = m_targets[index];
            // Only the delete drops the selection: its pictures are gone.
            const bool deletes = m_refill == Refill::DropSelection;
            m_report.push_back(target.record ? keep_and_edit(m_undo.get(), target, deletes,
                                                             [&] { return m_edit(index, target); })
                                             : skipped(target.item));
            return m_report.back().file_outcome();
        },
        sink);
}

EditReport EditBatch::finish(EditContext& context) {
    // The records of deleted pictures go only now, all at once: the items and the records
    // the command looked up stay as they were while it ran.
    std::unordered_set<std::string> deleted;
    for (size_t i = 0; i < m_report.size(); ++i)
        if (m_refill == Refill::DropSelection && m_report[i].outcome == EditOutcome::Changed)
            deleted.insert(m_targets[i].record->thumb_path);
    if (!deleted.empty())
        std::erase_if(context.transferred_pictures, [&](const TransferredPicture& record) {
            return deleted.contains(record.thumb_path);
        });
    std::vector<std::string> changed;
    for (const EditResult& result : m_report)
        if (result.outcome == EditOutcome::Changed || result.outcome == EditOutcome::ThumbnailStale)
            changed.push_back(result.picture);
    refill_thumbnail_grid(context, changed);
    if (m_refill == Refill::KeepSelection)
        context.grid.select_items(m_selection);
    if (context.undo)
        context.undo->end(std::move(m_undo));
    tell_failures(context, m_report);
    return std::move(m_report);
}

EditReport run_in_line(EditContext& context, std::optional<EditBatch> batch) {
    if (!batch)
        return {};
    const auto guard = busy(context);
    BatchSink to_the_end;
    batch->run(context.batch ? *context.batch : to_the_end);
    return batch->finish(context);
}

namespace {

// Shows the records in the grid; a picture with a caption in known keeps it, the others
// are read.
void fill_grid(EditContext& context, const std::unordered_map<std::string, std::string>& known) {
    ThumbnailGrid& grid = context.grid;
    grid.set_LockScreen(true);
    std::vector<std::string> thumbs;
    for (const TransferredPicture& record : context.transferred_pictures)
        thumbs.push_back(record.thumb_path);
    grid.set_filelist(join(thumbs, std::string(1, CR)));
    // Each item takes the caption of its own picture: a thumbnail the grid could not find
    // is left out and the items after it move up.
    const PictureMap map(context.transferred_pictures, grid_items(grid.filelist()));
    for (int32_t item = 1; item <= map.item_count(); ++item) {
        const std::optional<size_t> index = map.record_of_item(item);
        if (!index)
            continue;
        const std::string& picture = context.transferred_pictures[*index].picture_path;
        const auto caption = known.find(picture);
        grid.set_File_Titlestring(item, caption != known.end() ? caption->second
                                                               : thumbnail_caption(picture));
    }
    grid.set_TitleText("#CUSTOM#");
    grid.set_LockScreen(false);
    grid.refresh();
}

} // namespace

void fill_thumbnail_grid(EditContext& context) {
    fill_grid(context, {});
}

void refill_thumbnail_grid(EditContext& context, const std::vector<std::string>& changed) {
    const std::unordered_set<std::string> changed_set(changed.begin(), changed.end());
    std::unordered_map<std::string, std::string> known;
    const PictureMap shown(context.transferred_pictures, grid_items(context.grid.filelist()));
    for (int32_t item = 1; item <= shown.item_count(); ++item) {
        const std::optional<size_t> index = shown.record_of_item(item);
        if (!index)
            continue;
        const std::string& picture = context.transferred_pictures[*index].picture_path;
        std::string caption = context.grid.File_Titlestring(item);
        if (!changed_set.contains(picture) && !caption.empty())
            known.emplace(picture, std::move(caption));
    }
    fill_grid(context, known);
}

std::string find_picture_of_item(const EditContext& context, int32_t item) {
    const std::vector<std::string> items = grid_items(context.grid.filelist());
    if (item < 1 || size_t(item) > items.size())
        return "";
    return picture_of_thumbnail(context.transferred_pictures, items[size_t(item) - 1]);
}

std::string thumbnail_caption(const std::string& picture_path) {
    const int64_t length = std::max<int64_t>(file_length(picture_path), 0);
    const int kilobytes = to_int(static_cast<double>(length) / 1024);
    // The size as the picture is shown: upright, a sideways-stored portrait is tall.
    const std::optional<Size> size = shown_size(picture_path);
    const std::string size_shown =
        size ? std::to_string(size->width) + " x " + std::to_string(size->height) : "ERROR";
    return file_name(picture_path, true) + std::string(CRLF) + "(" + size_shown + ")" +
           std::string(CRLF) + std::to_string(kilobytes) + " Kb";
}

int16_t transform_code(std::string_view key) {
    if (key == "qvd")
        return 5;
    if (key == "cqv")
        return 6;
    if (key == "dcsd")
        return 7;
    if (key == "fliph")
        return 1;
    if (key == "flipv")
        return 2;
    return 0;
}

std::optional<EditBatch> plan_transform(EditContext& context, std::string_view key) {
    const std::vector<int32_t> selection = context.grid.selected_items();
    const int16_t code = transform_code(key);
    // Every picture is looked at before anything is written: a JPEG whose size does not
    // allow a lossless turn exactly is asked about once, for all of them.
    std::vector<EditBatch::Target> targets;
    std::vector<PlannedTurn> plan;
    {
        const auto guard = busy(context);
        targets = targets_of(context, selection);
        for (EditBatch::Target& target : targets) {
            if (code == 0)
                target.record.reset();
            if (!target.record) {
                plan.push_back({target.item, std::nullopt, false, 0, std::nullopt});
                continue;
            }
            const std::string& picture = target.record->picture_path;
            const std::string extension = file_extension(picture);
            const bool jpeg = extension == "jpg" || extension == "jpeg";
            // A read-only picture is not going to be turned at all.
            const bool turned = jpeg && !read_only(picture);
            const int orientation = turned ? exif_orientation(picture) : 1;
            // A command that brings the stored pixels back as they stand still resets the tag.
            int16_t turn = upright_transform(orientation, code);
            if (turn == 0)
                turn = kTransformNone;
            const std::optional<int> lost =
                turned ? jpeg_transform_loss(picture, turn) : std::nullopt;
            plan.push_back({target.item, target.record, jpeg, turn, lost});
        }
    }
    const std::optional<InexactTurn> answer = ask_about_inexact_turns(context, plan);
    if (!answer)
        return std::nullopt;
    // The plan is in the order of the targets.
    auto edit = [plan = std::move(plan), code, answer = *answer](size_t index,
                                                                 const EditBatch::Target& target) {
        const PlannedTurn& turn = plan[index];
        const std::string& picture = target.record->picture_path;
        return rewrite(target.item, *target.record, [&] {
            // A JPEG turns without re-encoding, straight over itself: the imaging module puts
            // the result in place only when it is complete.
            const bool exact = turn.lost == 0;
            if (turn.jpeg && turn.lost && (exact || answer == InexactTurn::Trim)) {
                const int32_t rc = jpeg_lossless_transform(
                    picture, picture, turn.turn, exact ? JpegEdges::Exact : JpegEdges::Trim);
                if (rc != picture::kTransformFailed)
                    return rc;
            }
            // Other formats, the layouts that cannot be turned without decoding, and the
            // pictures the user chose to re-encode; a JPEG keeps its markers, its pixels
            // stood upright before the command.
            return convert_in_place(picture, {.crop = {},
                                              .resize = {},
                                              .quality = kEditQuality,
                                              .transform = code,
                                              .upright = true});
        });
    };
    return EditBatch(selection, std::move(targets), std::move(edit),
                     EditBatch::Refill::KeepSelection, undo_step(context));
}

EditReport transform_selected(EditContext& context, std::string_view key) {
    return run_in_line(context, plan_transform(context, key));
}

std::optional<EditBatch> plan_resize(EditContext& context, int size, int16_t quality) {
    const std::vector<int32_t> selection = context.grid.selected_items();
    const Resize resize{.width = size, .height = 0, .orient = true};
    auto edit = [resize, quality](size_t, const EditBatch::Target& target) {
        // The thumbnail keeps its proportions, so it is not made again; the desktop's cache
        // thumbnails carry the picture's time and size, so they are.
        return rewrite(
            target.item, *target.record,
            [&] {
                const int32_t rc =
                    convert_in_place(target.record->picture_path,
                                     {.crop = {}, .resize = resize, .quality = quality});
                if (rc == 0)
                    make_cache_thumbnails(target.record->picture_path);
                return rc;
            },
            false);
    };
    return EditBatch(selection, targets_of(context, selection), std::move(edit),
                     EditBatch::Refill::KeepSelection, undo_step(context));
}

EditReport resize_selected(EditContext& context, int size, int16_t quality) {
    return run_in_line(context, plan_resize(context, size, quality));
}

std::optional<EditBatch> plan_typed_resize(EditContext& context) {
    const std::vector<int32_t> selection = context.grid.selected_items();
    if (selection.empty())
        return std::nullopt;
    // The question is asked with the normal pointer; the hourglass comes with the work.
    const std::optional<std::string> answer =
        context.dialogs.input_box(context.language.translate("choose_size"), "", ",");
    // The offered "," names no size: accepting it would only re-encode every picture.
    if (!answer || answer->empty() || !names_a_size(*answer))
        return std::nullopt;
    auto edit = [resize = resize_of_text(*answer)](size_t, const EditBatch::Target& target) {
        return rewrite(target.item, *target.record, [&] {
            return convert_in_place(target.record->picture_path,
                                    {.crop = {}, .resize = resize, .quality = kEditQuality});
        });
    };
    return EditBatch(selection, targets_of(context, selection), std::move(edit),
                     EditBatch::Refill::KeepSelection, undo_step(context));
}

EditReport resize_to_typed_size(EditContext& context) {
    return run_in_line(context, plan_typed_resize(context));
}

std::optional<EditBatch> plan_delete(EditContext& context) {
    const std::vector<int32_t> items = context.grid.selected_items();
    if (items.empty())
        return std::nullopt;
    std::vector<EditBatch::Target> targets = targets_of(context, items);
    // Where each picture goes is known before the question, which names those that no
    // trash can take.
    std::vector<bool> to_trash(targets.size(), false);
    size_t for_good = 0;
    for (size_t i = 0; i < targets.size(); ++i) {
        if (!targets[i].record)
            continue;
        to_trash[i] =
            context.trash && context.trash->available_for(targets[i].record->picture_path);
        if (!to_trash[i])
            ++for_good;
    }
    const std::string count = std::to_string(items.size());
    const std::string question =
        for_good == 0 ? Remplacer("#1", count, context.language.translate("confirm_delete"))
                      : Remplacer("<BR>", std::string(CRLF),
                                  Remplacer("#2", count,
                                            Remplacer("#1", std::to_string(for_good),
                                                      context.language.translate("no_trash"))));
    // A stray Return keeps the pictures.
    if (context.dialogs.ask(question, application_title, Icon::Exclamation, Buttons::YesNo,
                            Answer::No) != Answer::Yes)
        return std::nullopt;
    auto edit = [to_trash = std::move(to_trash),
                 trash = context.trash](size_t index, const EditBatch::Target& target) {
        const TransferredPicture& record = *target.record;
        const int error = to_trash[index] ? trash->move_to_trash(record.picture_path)
                                          : delete_file(record.picture_path, false, true);
        if (error != 0)
            return EditResult{.item = target.item,
                              .picture = record.picture_path,
                              .outcome = EditOutcome::Failed,
                              .system_error = error};
        // A thumbnail left behind is cleared with the thumbnail folder; the picture is gone.
        delete_file(record.thumb_path, false, true);
        return EditResult{
            .item = target.item, .picture = record.picture_path, .outcome = EditOutcome::Changed};
    };
    return EditBatch(items, std::move(targets), std::move(edit), EditBatch::Refill::DropSelection,
                     undo_step(context));
}

EditReport delete_selected(EditContext& context) {
    return run_in_line(context, plan_delete(context));
}

EditReport crop_selected(EditContext& context, const CropWindow& crop_window) {
    const std::vector<int32_t> selection = context.grid.selected_items();
    EditReport report;
    if (selection.empty())
        return report;
    const int32_t item = selection.front();
    const EditBatch::Target target = targets_of(context, {item}).front();
    if (!target.record) {
        report.push_back(skipped(item));
        return report;
    }
    const TransferredPicture record = *target.record;
    const std::string& picture = record.picture_path;

    std::optional<Rect> corners;
    {
        std::string shown = picture;
        std::optional<TemporaryFile> stand_in;
        const std::string extension = file_extension(picture);
        if (std::find(kShownAsTheyAre.begin(), kShownAsTheyAre.end(), extension) ==
            kShownAsTheyAre.end()) {
            // A free name of the thumbnail folder: "temp.jpg" could be the thumbnail of a
            // picture called temp.
            std::string folder = context.thumbs_dir;
            stand_in.emplace(temp_file_name("crop", "jpg", folder));
            const auto guard = busy(context);
            const int32_t rc =
                stand_in->path().empty()
                    ? kRuntimeFailure
                    : convert_image(picture, stand_in->path(),
                                    {.crop = {}, .resize = {}, .quality = kEditQuality});
            if (rc != 0) {
                report.push_back(
                    {.item = item, .picture = picture, .outcome = EditOutcome::Failed, .code = rc});
                tell_failures(context, report);
                return report;
            }
            shown = stand_in->path();
        }
        corners = crop_window(shown);
    }
    if (corners) {
        // The window showed the picture upright: the rectangle is in its upright pixels.
        std::optional<Size> size = image_size(picture);
        const int orientation = exif_orientation(picture);
        if (size && orientation >= 5)
            std::swap(size->width, size->height);
        const std::optional<Rect> crop = size ? crop_in_picture(*corners, *size) : std::nullopt;
        if (!crop) {
            report.push_back({.item = item, .picture = picture, .outcome = EditOutcome::Unchanged});
        } else {
            const auto guard = busy(context);
            std::unique_ptr<UndoStep> step = undo_step(context);
            report.push_back(keep_and_edit(step.get(), target, false, [&] {
                return rewrite(item, record, [&] {
                    return convert_in_place(
                        picture,
                        {.crop = crop, .resize = {}, .quality = kEditQuality, .upright = true});
                });
            }));
            if (context.undo)
                context.undo->end(std::move(step));
        }
    }
    refill_thumbnail_grid(context, {picture});
    context.grid.select_items(selection);
    tell_failures(context, report);
    return report;
}

EditReport undo_last(EditContext& context) {
    EditReport report;
    std::unique_ptr<UndoStep> step = context.undo ? context.undo->take() : nullptr;
    if (!step)
        return report;
    // Put back lowest place first, so that each deleted record finds its place again.
    std::vector<KeptPicture> pictures = step->pictures();
    std::stable_sort(
        pictures.begin(), pictures.end(),
        [](const KeptPicture& a, const KeptPicture& b) { return a.record_index < b.record_index; });
    std::vector<bool> changed(pictures.size());
    std::vector<std::string> names;
    for (size_t i = 0; i < pictures.size(); ++i) {
        changed[i] = changed_since(pictures[i]);
        if (changed[i])
            names.push_back(file_name(pictures[i].record.picture_path, true));
    }
    // Someone else's work since the command is overwritten only when the user says so.
    const bool overwrite =
        names.empty() ||
        context.dialogs.ask(Remplacer("#1", join(names, std::string(CRLF)),
                                      Remplacer("<BR>", std::string(CRLF),
                                                context.language.translate("undo_changed"))),
                            application_title, Icon::Question, Buttons::YesNo,
                            Answer::No) == Answer::Yes;

    std::vector<std::string> restored;
    std::vector<const KeptPicture*> put_back;
    {
        const auto guard = busy(context);
        for (size_t i = 0; i < pictures.size(); ++i) {
            const KeptPicture& picture = pictures[i];
            const std::string& path = picture.record.picture_path;
            if (changed[i] && !overwrite) {
                report.push_back(
                    {.item = picture.item, .picture = path, .outcome = EditOutcome::Unchanged});
                continue;
            }
            const int error = copy_file_quietly(picture.kept, path);
            if (error != 0) {
                report.push_back({.item = picture.item,
                                  .picture = path,
                                  .outcome = EditOutcome::Failed,
                                  .system_error = error});
                continue;
            }
            if (picture.deleted)
                put_back.push_back(&picture);
            restored.push_back(path);
            const int32_t thumb = remake_thumbnail(picture.record);
            report.push_back(
                {.item = picture.item,
                 .picture = path,
                 .outcome = thumb == 0 ? EditOutcome::Changed : EditOutcome::ThumbnailStale,
                 .code = thumb});
        }
        put_back_records(context.transferred_pictures, put_back);
        refill_thumbnail_grid(context, restored);
    }
    // The pictures put back are selected, wherever the grid now shows them.
    const std::unordered_set<std::string> back(restored.begin(), restored.end());
    const PictureMap shown(context.transferred_pictures, grid_items(context.grid.filelist()));
    std::vector<int32_t> items;
    for (int32_t item = 1; item <= shown.item_count(); ++item) {
        const std::optional<size_t> index = shown.record_of_item(item);
        if (index && back.contains(context.transferred_pictures[*index].picture_path))
            items.push_back(item);
    }
    context.grid.select_items(items);
    tell_failures(context, report);
    return report;
}

int32_t remake_thumbnail(const TransferredPicture& record) {
    return make_thumbnail(record.picture_path, record.thumb_path);
}

std::string crop_result_text(const std::optional<Rect>& corners) {
    if (!corners)
        return "";
    return std::to_string(corners->left) + "/" + std::to_string(corners->top) + "/" +
           std::to_string(corners->right) + "/" + std::to_string(corners->bottom);
}

std::optional<Rect> crop_corners_of_result(const std::string& crop_result) {
    if (crop_result.empty())
        return std::nullopt;
    std::array<int32_t, 4> v{};
    for (int i = 0; i < 4; ++i)
        v[size_t(i)] = numeric_value(get_tokens(i + 1, crop_result, "/"));
    return Rect{v[0], v[1], v[2], v[3]};
}

std::optional<Rect> crop_in_picture(const Rect& corners, Size picture) {
    const Rect crop{std::clamp(std::min(corners.left, corners.right), 0, picture.width),
                    std::clamp(std::min(corners.top, corners.bottom), 0, picture.height),
                    std::clamp(std::max(corners.left, corners.right), 0, picture.width),
                    std::clamp(std::max(corners.top, corners.bottom), 0, picture.height)};
    if (crop.left >= crop.right || crop.top >= crop.bottom)
        return std::nullopt;
    if (crop == Rect{0, 0, picture.width, picture.height})
        return std::nullopt;
    return crop;
}

} // namespace orvix
