#include "editing/edit_commands.h"

#include "controls/picture/getrect_model.h"

#include "fs/fs.h"
#include "imaging/imaging.h"
#include "imaging/picture_layer.h"
#include "platform/dialogs.h"
#include "settings/language.h"
#include "text/text.h"

#include <algorithm>
#include <array>
#include <utility>

namespace orvix {

namespace {

constexpr int16_t kEditQuality = 100;
// Formats the crop window shows as they are; the others go through a JPEG copy.
constexpr std::array<std::string_view, 3> kShownAsTheyAre = {"jpeg", "jpg", "bmp"};

int32_t convert_in_place(const std::string& picture, const ConvertRequest& request) {
    return convert_image(picture, picture, request);
}

// The grid item's file: the item-th line of its file list.
std::string item_file(const ThumbnailGrid& grid, int32_t item) {
    const std::string list = grid.filelist();
    if (item < 1 || list.empty() || item > nb_tokens(list, std::string(1, CR)))
        return "";
    return get_line(item, list);
}

// The record whose thumbnail is the grid item's file; none when no record, or more than
// one, has it, so that a command never reaches a picture that is not the item's own.
std::optional<size_t> record_of_item(const EditContext& context, int32_t item) {
    const std::string file = item_file(context.grid, item);
    std::optional<size_t> found;
    if (file.empty())
        return found;
    const std::vector<TransferredPicture>& records = context.transferred_pictures;
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].thumb_path != file)
            continue;
        if (found)
            return std::nullopt;
        found = i;
    }
    return found;
}

std::shared_ptr<void> busy(const EditContext& context) {
    return context.busy ? context.busy() : nullptr;
}

EditResult skipped(int32_t item) {
    return {item, "", EditOutcome::Skipped, 0};
}

// Runs edit on the record's picture, unless the picture is read-only, and remakes its
// thumbnail after a success when asked.
EditResult rewrite(int32_t item, const TransferredPicture& record,
                   const std::function<int32_t()>& edit, bool remake = true) {
    // A picture the user protected is never rewritten (the rename that replaces a file
    // would not ask).
    const int32_t rc = read_only(record.picture_path) ? kPictureReadOnly : edit();
    if (rc != 0)
        return {item, record.picture_path, EditOutcome::Failed, rc};
    if (remake)
        remake_thumbnail(record);
    return {item, record.picture_path, EditOutcome::Changed, 0};
}

// One message naming every picture that could not be changed.
void report_failures(const EditContext& context, const EditReport& report) {
    std::string names;
    for (const EditResult& result : report)
        if (result.outcome == EditOutcome::Failed)
            names += std::string(CRLF) + file_name(result.picture, true);
    if (names.empty())
        return;
    const std::string text =
        Remplacer("#1", names, Remplacer("<BR>", CRLF, context.language.translate("edit_failed")));
    context.dialogs.message_box(text, application_title, Icon::Exclamation);
}

// Refills the grid and selects again what was selected.
void refill(EditContext& context, const std::vector<int32_t>& selection) {
    fill_thumbnail_grid(context);
    context.grid.select_items(selection);
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

} // namespace

void fill_thumbnail_grid(EditContext& context) {
    ThumbnailGrid& grid = context.grid;
    grid.set_LockScreen(true);
    std::vector<std::string> thumbs;
    for (const TransferredPicture& record : context.transferred_pictures)
        thumbs.push_back(record.thumb_path);
    grid.set_filelist(join(thumbs, std::string(1, CR)));
    // Each item takes the caption of its own picture: a thumbnail the grid could not find
    // is left out and the items after it move up.
    const std::string list = grid.filelist();
    const int32_t count = list.empty() ? 0 : nb_tokens(list, std::string(1, CR));
    for (int32_t i = 1; i <= count; ++i) {
        const std::string picture =
            picture_of_thumbnail(context.transferred_pictures, get_line(i, list));
        if (!picture.empty())
            grid.set_File_Titlestring(i, thumbnail_caption(picture));
    }
    grid.set_TitleText("#CUSTOM#");
    grid.set_LockScreen(false);
    grid.refresh();
}

std::string find_picture_of_item(const EditContext& context, int32_t item) {
    return picture_of_thumbnail(context.transferred_pictures, item_file(context.grid, item));
}

std::string thumbnail_caption(const std::string& picture_path) {
    const int64_t length = std::max<int64_t>(file_length(picture_path), 0);
    const int kilobytes = to_int(static_cast<double>(length) / 1024);
    const std::optional<Size> size = image_size(picture_path);
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

EditReport transform_selected(EditContext& context, std::string_view key) {
    const std::vector<int32_t> selection = context.grid.selected_items();
    const int16_t code = transform_code(key);
    // Every picture is looked at before anything is written: a JPEG whose size does not
    // allow a lossless turn exactly is asked about once, for all of them.
    std::vector<PlannedTurn> plan;
    {
        const auto guard = busy(context);
        for (const int32_t item : selection) {
            const std::optional<size_t> index = record_of_item(context, item);
            if (!index || code == 0) {
                plan.push_back({item, std::nullopt, false, std::nullopt});
                continue;
            }
            const TransferredPicture& record = context.transferred_pictures[*index];
            const std::string extension = file_extension(record.picture_path);
            const bool jpeg = extension == "jpg" || extension == "jpeg";
            // A read-only picture is not going to be turned at all.
            const std::optional<int> lost = jpeg && !read_only(record.picture_path)
                                                ? jpeg_transform_loss(record.picture_path, code)
                                                : std::nullopt;
            plan.push_back({item, record, jpeg, lost});
        }
    }
    const std::optional<InexactTurn> answer = ask_about_inexact_turns(context, plan);
    if (!answer)
        return {};

    const auto guard = busy(context);
    EditReport report;
    for (const PlannedTurn& turn : plan) {
        if (!turn.record) {
            report.push_back(skipped(turn.item));
            continue;
        }
        const std::string& picture = turn.record->picture_path;
        report.push_back(rewrite(turn.item, *turn.record, [&] {
            // A JPEG turns without re-encoding, straight over itself: the imaging module puts
            // the result in place only when it is complete.
            const bool exact = turn.lost == 0;
            if (turn.jpeg && turn.lost && (exact || *answer == InexactTurn::Trim)) {
                const int32_t rc = jpeg_lossless_transform(
                    picture, picture, code, exact ? JpegEdges::Exact : JpegEdges::Trim);
                if (rc != picture::kTransformFailed)
                    return rc;
            }
            // Other formats, the layouts that cannot be turned without decoding, and the
            // pictures the user chose to re-encode; a JPEG keeps its markers.
            return convert_in_place(
                picture, {.crop = {}, .resize = {}, .quality = kEditQuality, .transform = code});
        }));
    }
    refill(context, selection);
    report_failures(context, report);
    return report;
}

EditReport resize_selected(EditContext& context, int size, int16_t quality) {
    const auto guard = busy(context);
    const std::vector<int32_t> selection = context.grid.selected_items();
    const Resize resize{.width = size, .height = 0, .orient = true};
    EditReport report;
    for (const int32_t item : selection) {
        const std::optional<size_t> index = record_of_item(context, item);
        if (!index) {
            report.push_back(skipped(item));
            continue;
        }
        const TransferredPicture& record = context.transferred_pictures[*index];
        // The thumbnail keeps its proportions, so it is not made again.
        report.push_back(rewrite(
            item, record,
            [&] {
                return convert_in_place(record.picture_path,
                                        {.crop = {}, .resize = resize, .quality = quality});
            },
            false));
    }
    refill(context, selection);
    report_failures(context, report);
    return report;
}

EditReport resize_to_typed_size(EditContext& context) {
    const std::vector<int32_t> selection = context.grid.selected_items();
    EditReport report;
    if (selection.empty())
        return report;
    // The question is asked with the normal pointer; the hourglass comes with the work.
    const std::optional<std::string> answer =
        context.dialogs.input_box(context.language.translate("choose_size"), "", ",");
    // The offered "," names no size: accepting it would only re-encode every picture.
    if (!answer || answer->empty() || !names_a_size(*answer))
        return report;
    const auto guard = busy(context);
    for (auto item = selection.rbegin(); item != selection.rend(); ++item) {
        const std::optional<size_t> index = record_of_item(context, *item);
        if (!index) {
            report.push_back(skipped(*item));
            continue;
        }
        const TransferredPicture record = context.transferred_pictures[*index];
        report.push_back(rewrite(*item, record, [&] {
            return convert_in_place(
                record.picture_path,
                {.crop = {}, .resize = resize_of_text(*answer), .quality = kEditQuality});
        }));
    }
    refill(context, selection);
    report_failures(context, report);
    return report;
}

EditReport delete_selected(EditContext& context) {
    const std::vector<int32_t> items = context.grid.selected_items();
    EditReport report;
    if (items.empty())
        return report;
    const std::string question =
        Remplacer("#1", std::to_string(items.size()), context.language.translate("confirm_delete"));
    if (context.dialogs.message_box(question, application_title, Icon::Exclamation,
                                    Buttons::YesNo) != Answer::Yes)
        return report;
    const auto guard = busy(context);
    std::vector<TransferredPicture>& records = context.transferred_pictures;
    // From the last item to the first, as the records move down behind each removal.
    for (auto item = items.rbegin(); item != items.rend(); ++item) {
        const std::optional<size_t> index = record_of_item(context, *item);
        if (!index) {
            report.push_back(skipped(*item));
            continue;
        }
        const TransferredPicture record = records[*index];
        delete_file(record.picture_path, false, true);
        if (file_exists(record.picture_path)) {
            report.push_back({*item, record.picture_path, EditOutcome::Failed, 0});
            continue;
        }
        delete_file(record.thumb_path, false, true);
        records.erase(records.begin() + std::ptrdiff_t(*index));
        report.push_back({*item, record.picture_path, EditOutcome::Changed, 0});
    }
    fill_thumbnail_grid(context);
    report_failures(context, report);
    return report;
}

EditReport crop_selected(EditContext& context, const CropWindow& crop_window) {
    const std::vector<int32_t> selection = context.grid.selected_items();
    EditReport report;
    if (selection.empty())
        return report;
    const int32_t item = selection.front();
    const std::optional<size_t> index = record_of_item(context, item);
    if (!index) {
        report.push_back(skipped(item));
        return report;
    }
    const TransferredPicture record = context.transferred_pictures[*index];
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
                report.push_back({item, picture, EditOutcome::Failed, rc});
                report_failures(context, report);
                return report;
            }
            shown = stand_in->path();
        }
        corners = crop_window(shown);
    }
    if (corners) {
        const std::optional<Size> size = image_size(picture);
        const std::optional<Rect> crop = size ? crop_in_picture(*corners, *size) : std::nullopt;
        if (!crop) {
            report.push_back({item, picture, EditOutcome::Unchanged, 0});
        } else {
            const auto guard = busy(context);
            report.push_back(rewrite(item, record, [&] {
                return convert_in_place(picture,
                                        {.crop = crop, .resize = {}, .quality = kEditQuality});
            }));
        }
    }
    refill(context, selection);
    report_failures(context, report);
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

namespace orvix {

std::optional<Rect> crop_corners_of(const std::string& fractions, const std::string& dimensions,
                                    std::string_view decimal_separator) {
    const std::optional<std::array<double, 4>> f = read_fractions(fractions, decimal_separator);
    if (!f)
        return std::nullopt;
    const double width = leading_number(get_tokens(1, dimensions, ","));
    const double height = leading_number(get_tokens(2, dimensions, ","));
    auto part = [](double fraction, double length) {
        return int32_t(
            std::clamp(round_half_even(fraction * length), double(INT16_MIN), double(INT16_MAX)));
    };
    return Rect{part((*f)[0], width), part((*f)[1], height), part((*f)[2], width),
                part((*f)[3], height)};
}

} // namespace orvix
