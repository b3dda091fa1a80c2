#include "transfer/transfer.h"

#include "fs/fs.h"
#include "history/history.h"
#include "imaging/exif_dates.h"
#include "imaging/imaging.h"
#include "platform/dialogs.h"
#include "platform/tasks.h"
#include "settings/language.h"
#include "text/text.h"
#include "transfer/naming.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <utility>

namespace orvix {

namespace {

constexpr int kMin = 0;
constexpr size_t kMaxNamedOriginals = 10;
// The reason of a copy that could not be written as asked: a name that cannot be a path,
// or a copy that does not stand for its original.
constexpr const char* kNotWritten = "reason_write";
constexpr const char* kNotVerified = "reason_unverified";

using AfterCopyHook = std::function<void(const std::string&, const std::string&)>;

AfterCopyHook& after_copy_hook() {
    static AfterCopyHook hook;
    return hook;
}

// What the source looked like before its copy: a different size or modification time
// afterwards means the card changed it, and the copy no longer stands for it.
struct SourceStamp {
    int64_t size = 0;
    int64_t mtime_sec = 0;
    int64_t mtime_nsec = 0;
    bool operator==(const SourceStamp&) const = default;
};

std::optional<SourceStamp> stamp_of(const std::string& path) {
    const std::optional<FileStatus> status = file_status(path);
    if (!status)
        return std::nullopt;
    return SourceStamp{status->size, status->mtime_sec, status->mtime_nsec};
}

// True when folder is outer itself or lies anywhere below it, links resolved.
bool lies_within(const std::string& folder, const std::string& outer) {
    const std::string inner = real_path(folder);
    const std::string base = real_path(outer);
    if (inner.empty() || base.empty())
        return false;
    const std::string prefix = base.back() == SEP ? base : base + SEP;
    return inner == base || inner.starts_with(prefix);
}

// Every road out of the run leaves the bar at its minimum and hidden.
class EndGuard {
public:
    explicit EndGuard(ProgressSink& progress) : m_sink(progress) {}
    ~EndGuard() {
        m_sink.set_value(kMin);
        m_sink.set_visible(false);
    }
    EndGuard(const EndGuard&) = delete;
    EndGuard& operator=(const EndGuard&) = delete;

private:
    ProgressSink& m_sink;
};

// The run's side of the batch driver: the stop from the options, the bar and the bytes
// after each picture.
class TransferProgress : public BatchSink {
public:
    TransferProgress(const TransferOptions& options, ProgressSink& progress,
                     const std::vector<int64_t>& sizes, int64_t total_size)
        : m_options(options), m_progress(progress), m_sizes(sizes), m_total_size(total_size) {}

    void batch_started(size_t) override { m_progress.set_bytes_done(m_done, m_total_size); }
    void file_done(size_t done, const FileOutcome&) override {
        m_done += m_sizes[done - 1];
        m_progress.set_bytes_done(m_done, m_total_size);
    }
    bool stop_requested() const override {
        return m_options.stop_requested && m_options.stop_requested();
    }

private:
    const TransferOptions& m_options;
    ProgressSink& m_progress;
    const std::vector<int64_t>& m_sizes;
    int64_t m_total_size;
    int64_t m_done = 0;
};

// A thumbnail on its way: its name is handed out when it is asked for, so thumbnails made
// side by side never share one; made is set by the task that draws it.
struct PendingThumbnail {
    std::string picture;
    std::string thumb;
    bool made = false;
};

class TransferRun {
public:
    TransferRun(const TransferOptions& options, const std::string& thumbs_dir,
                const LanguageTable& language, Dialogs& dialogs, ProgressSink& progress,
                std::vector<TransferredPicture>& transferred_pictures, TaskQueue& thumbnail_tasks)
        : m_options(options), m_thumbs_dir(thumbs_dir), m_language(language), m_dialogs(dialogs),
          m_progress(progress), m_pictures(transferred_pictures),
          m_thumbnail_tasks(thumbnail_tasks), m_quality_text(options.quality_text) {}

    TransferOutcome run(const std::function<void()>& before_report) {
        m_pictures.clear();
        if (!start())
            return m_outcome;
        m_outcome.ran = true;
        TransferProgress sink(m_options, m_progress, m_sizes, m_total_size);
        BatchResult batch = run_batch(
            m_list.size(),
            [this](size_t i) {
                m_progress.set_value(static_cast<int>(i + 1));
                // The disk reads the next picture while this one is copied.
                if (i + 1 < m_list.size())
                    read_ahead(m_list[i + 1]);
                return transfer_picture(m_list[i]);
            },
            sink);
        m_outcome.stopped = batch.stopped;
        m_outcome.files = std::move(batch.outcomes);
        collect_thumbnails();
        if (before_report)
            before_report();
        report();
        return m_outcome;
    }

private:
    // The checks before anything is copied; false when a message ended the run.
    bool start() {
        m_destination = add_trailing_separator(m_options.destination_text);
        if (!folder_exists(m_options.source_text))
            return stop_with("source_notfound", Icon::Exclamation);
        if (!folder_exists(m_destination) && !make_destination())
            return false;
        // Copies made inside the source would be listed with it, and deleting originals
        // could then remove what was just copied.
        if (lies_within(m_destination, m_options.source_text))
            return stop_with("dest_inside_source", Icon::Exclamation);

        list_files(add_trailing_separator(m_options.source_text), m_list,
                   std::string(picture_filter), true, "", 0);
        open_history();
        if (m_options.only_new && m_history)
            std::erase_if(m_list, [this](const std::string& picture) {
                const std::optional<CardFile> file = m_card->file(picture);
                return file && m_history->transferred_before(*file);
            });
        m_outcome.found = static_cast<int>(m_list.size());
        m_progress.set_min(kMin);
        m_progress.set_max(m_outcome.found);
        m_progress.set_value(kMin);
        m_progress.set_caption(
            Remplacer("#1", m_options.source_text,
                      Remplacer("#2", m_destination, m_language.translate("progress_transfer"))));
        if (m_list.empty())
            return stop_with("no_picture_transferable", Icon::Exclamation);

        for (const std::string& picture : m_list) {
            m_sizes.push_back(std::max<int64_t>(0, file_length(picture)));
            m_total_size += m_sizes.back();
        }
        const double room = free_space(m_destination);
        m_progress.set_visible(true);
        if (room <= static_cast<double>(m_total_size))
            return stop_with("no_room", Icon::Critical);
        return true;
    }

    // A destination that does not exist yet may be made on the spot. Only a full path is
    // offered, so that no folder appears wherever the program happens to run from.
    bool make_destination() {
        const std::string not_found = m_language.translate("dest_notfound");
        if (!m_destination.starts_with(SEP)) {
            message(not_found, Icon::Exclamation);
            return false;
        }
        const std::string offer =
            Remplacer("#1", m_destination, m_language.translate("dest_create"));
        if (m_dialogs.message_box(not_found + std::string(CRLF) + offer, application_title,
                                  Icon::Exclamation, Buttons::YesNo) != Answer::Yes)
            return false;
        if (const int error = make_path(m_destination)) {
            message(
                Remplacer("#2", std::strerror(error),
                          Remplacer("#1", m_destination, m_language.translate("dest_not_made"))),
                Icon::Exclamation);
            return false;
        }
        return true;
    }

    FileOutcome skipped_at_clash(const std::string& source) {
        ++m_outcome.skipped_at_clash;
        return FileOutcome::of(source, Outcome::Skipped);
    }

    // The dates the naming needs, each read once. A picture without a capture date takes its
    // creation date in its place, and is counted for the report.
    PictureDates picture_dates(const std::string& source) {
        PictureDates dates = dates_from_record(file_info(source));
        if (!naming_reads_capture_date(m_options.naming, m_options.pattern))
            return dates;
        if (std::optional<std::string> taken = capture_date(source)) {
            dates.capture = std::move(*taken);
        } else {
            dates.capture = dates.creation;
            ++m_outcome.without_capture_date;
        }
        return dates;
    }

    FileOutcome transfer_picture(const std::string& source) {
        const std::string extension = file_extension(source);
        const std::string converted_extension = output_extension(m_options.format_index, extension);
        if (is_jpeg_choice(m_options.format_index))
            read_quality();
        const PictureDates dates = picture_dates(source);

        const bool subdir_on = m_options.subdir_enabled && m_options.subdir_checked;
        const std::string name =
            new_name(m_options.naming, m_options.pattern, base_name(source), dates);
        const std::string folder = target_folder(
            m_destination, date_folder(m_options.naming, m_options.pattern, subdir_on, dates));
        if (!is_plain_name(name))
            return copy_failed(file_target(folder, name, extension),
                               FileOutcome::failed_because(source, kNotWritten));
        if (!folder_exists(folder)) {
            if (const int error = make_path(folder)) {
                show_system_error(m_dialogs, error);
                return copy_failed(file_target(folder, name, extension),
                                   FileOutcome::failed_with_errno(source, error));
            }
        }

        const std::optional<SettledTarget> copy =
            settle_collision(folder, name, extension, m_language, m_dialogs, m_clash_answer);
        if (!copy)
            return skipped_at_clash(source);
        if (!is_plain_name(copy->name))
            return copy_failed(copy->path, FileOutcome::failed_because(source, kNotWritten));

        const std::optional<SourceStamp> before =
            m_options.delete_originals ? stamp_of(source) : std::nullopt;
        int error = copy_to_new_file(source, copy->path, m_dialogs);
        if (error == 0 && !file_exists(copy->path))
            error = ENOENT;
        if (error != 0)
            return copy_failed(copy->path, FileOutcome::failed_with_errno(source, error));
        ++m_outcome.copied;
        if (after_copy_hook())
            after_copy_hook()(source, copy->path);
        // Read back before a conversion replaces the copy: the converted file is only as
        // sound as the copy it was made from.
        const bool verified =
            (m_options.delete_originals || m_history) && verify_copy(source, copy->path);
        // At once, so a run stopped or broken off later still knows this picture.
        if (verified)
            remember(source);
        // A turn leaves the camera's previews as they were: the thumbnail is drawn from the
        // turned pixels then.
        Previews previews = Previews::FirstWhereFit;
        if (m_options.auto_rotate && converted_extension == extension &&
            (extension == "jpg" || extension == "jpeg") && stand_upright(copy->path))
            previews = Previews::Ignored;

        FileOutcome outcome = FileOutcome::done(source);
        std::string final_path = copy->path;
        if (converted_extension != extension) {
            const std::optional<SettledTarget> converted = settle_collision(
                folder, copy->name, converted_extension, m_language, m_dialogs, m_clash_answer);
            if (!converted)
                return skipped_at_clash(source);
            // The copy holds the same picture as the converted file, and a JPEG decodes
            // straight to a fraction of its size: the thumbnail is drawn from it during the
            // conversion, and the copy goes only once both are done.
            const std::shared_ptr<PendingThumbnail> thumb =
                m_options.show_thumbs && is_plain_name(converted->name)
                    ? start_thumbnail(copy->path, converted->path, previews)
                    : nullptr;
            outcome = convert(source, copy->path, *converted);
            const bool converted_ok = outcome.status == Outcome::Done;
            if (thumb) {
                m_thumbnail_tasks.wait();
                if (!converted_ok)
                    drop_thumbnail(*thumb);
            }
            final_path = converted_ok ? converted->path : std::string();
        } else if (m_options.show_thumbs) {
            start_thumbnail(copy->path, copy->path, previews);
        }
        if (!final_path.empty() && final_path != copy->path)
            delete_file(copy->path, false, true);
        if (m_options.delete_originals) {
            FileOutcome deletion = delete_original(
                source, final_path.empty() ? copy->path : final_path, verified, before);
            // A copy that does not stand for its original (a reason key) outweighs a failed
            // conversion; an original the system kept does not.
            const bool copy_unsound = !deletion.reason_key.empty();
            if (deletion.status == Outcome::Failed &&
                (outcome.status == Outcome::Done || copy_unsound))
                outcome = std::move(deletion);
        }
        return outcome;
    }

    FileOutcome convert(const std::string& source, const std::string& copy_path,
                        const SettledTarget& converted) {
        FileOutcome outcome = FileOutcome::done(source);
        if (!is_plain_name(converted.name))
            outcome = FileOutcome::failed_because(source, kNotWritten);
        else if (const int32_t result = convert_image(copy_path, converted.path,
                                                      {.crop = {},
                                                       .resize = {},
                                                       .quality = m_quality,
                                                       .upright = m_options.auto_rotate}))
            outcome = FileOutcome::failed_with_code(source, result);
        if (outcome.status == Outcome::Failed)
            message("Conversion error for \"" + converted.path + "\"", Icon::None);
        return outcome;
    }

    // The copy turned losslessly to stand as the camera was held, its tag reset. A turn that
    // would cut its edges or re-encode it is not made: the copy keeps its tag, which still
    // shows it upright, and is counted. True when the copy was turned.
    bool stand_upright(const std::string& copy) {
        const int orientation = exif_orientation(copy);
        if (orientation == 1)
            return false;
        const int16_t turn = upright_transform(orientation, 0);
        if (jpeg_transform_loss(copy, turn) != 0 ||
            jpeg_lossless_transform(copy, copy, turn, JpegEdges::Exact) != 0) {
            ++m_outcome.kept_tagged;
            return false;
        }
        return true;
    }

    // The thumbnail is named after picture and drawn from pixels, a file of the same picture
    // that stays in place until the thumbnail tasks are waited for.
    std::shared_ptr<PendingThumbnail>
    start_thumbnail(const std::string& pixels, const std::string& picture, Previews previews) {
        auto thumb = std::make_shared<PendingThumbnail>();
        thumb->picture = picture;
        thumb->thumb = free_thumb_path(m_thumbs_dir, base_name(picture), m_thumb_names);
        m_thumb_names.insert(thumb->thumb);
        m_thumbnails.push_back(thumb);
        m_thumbnail_tasks.post([thumb, pixels, previews] {
            thumb->made = make_grid_thumbnail(pixels, thumb->thumb, previews) == 0;
        });
        return thumb;
    }

    // A picture whose conversion failed has no thumbnail.
    static void drop_thumbnail(PendingThumbnail& thumb) {
        if (thumb.made)
            delete_file(thumb.thumb, false, true);
        thumb.made = false;
    }

    // Every thumbnail done, those made are listed in the order of their pictures.
    void collect_thumbnails() {
        m_thumbnail_tasks.wait();
        for (const std::shared_ptr<PendingThumbnail>& thumb : m_thumbnails) {
            if (thumb->made)
                m_pictures.push_back({thumb->picture, thumb->thumb});
        }
    }

    // The original goes only when its replacement is on disk, read back equal, and the
    // source is still what was copied; otherwise it stays and the picture counts as failed.
    // After a failed conversion the replacement is the unconverted copy.
    FileOutcome delete_original(const std::string& source, const std::string& replacement,
                                bool verified, const std::optional<SourceStamp>& before) {
        const bool unchanged = before && stamp_of(source) == before;
        if (verified && unchanged && file_exists(replacement)) {
            // A write-protected card keeps its pictures: the copy stands, the report names
            // the original that is still there.
            if (const int error = delete_file(source, false, false)) {
                m_outcome.originals_kept.push_back(source);
                return FileOutcome::failed_with_errno(source, error);
            }
            return FileOutcome::done(source);
        }
        --m_outcome.copied;
        return copy_failed(replacement, FileOutcome::failed_because(source, kNotVerified));
    }

    // Only a run that asks for the new pictures keeps the record: without the option the run
    // copies as it always did, without reading each copy back.
    void open_history() {
        if (m_options.history_path.empty() || !m_options.only_new)
            return;
        m_card.emplace(m_options.source_text, m_options.volume_tables);
        m_history = TransferHistory::open(m_options.history_path, TransferHistory::Access::Write);
        if (!m_history)
            no_history();
    }

    void remember(const std::string& source) {
        if (!m_history)
            return;
        const std::optional<CardFile> file = m_card->file(source);
        if (file && !m_history->record(*file))
            no_history();
    }

    // Said once a run.
    void no_history() {
        if (std::exchange(m_history_reported, true))
            return;
        message(Remplacer("#1", m_options.history_path,
                          Remplacer("<BR>", CRLF, m_language.translate("no_history"))),
                Icon::Exclamation);
    }

    void read_quality() {
        const int value = numeric_value(m_quality_text);
        if (jpeg_quality_of(value) != value) {
            m_quality = 100;
            m_quality_text = "100";
            m_progress.set_quality_text(m_quality_text);
            return;
        }
        m_quality = static_cast<int16_t>(value);
    }

    FileOutcome copy_failed(const std::string& target, FileOutcome outcome) {
        ++m_outcome.failed;
        message(Remplacer("#1", target, m_language.translate("copy_error")), Icon::Critical);
        return outcome;
    }

    void report() {
        const std::string end = m_language.translate("end_transfer");
        const std::string paragraph = std::string(CRLF) + std::string(CRLF);
        if (m_outcome.stopped)
            return stopped_report(paragraph);
        if (m_outcome.failed == 0 && m_outcome.originals_kept.empty()) {
            message(Remplacer("#1", std::to_string(m_outcome.copied), end) + std::string(CRLF) +
                        m_language.translate("no_error") + capture_date_note(paragraph) +
                        kept_tagged_text(paragraph) + skipped_text(paragraph),
                    Icon::Information);
            return;
        }
        std::string text;
        if (m_outcome.failed > 0)
            text =
                Remplacer("#1", std::to_string(m_outcome.found), end) + paragraph +
                Remplacer("#1", std::to_string(m_outcome.failed), m_language.translate("x_failed"));
        else
            text = Remplacer("#1", std::to_string(m_outcome.copied), end);
        if (!m_outcome.originals_kept.empty())
            text += paragraph + originals_kept_text();
        message(text + capture_date_note(paragraph) + kept_tagged_text(paragraph) +
                    skipped_text(paragraph),
                Icon::Critical);
    }

    // The copies left turned by their tag, as a paragraph of the report; "" when none.
    std::string kept_tagged_text(const std::string& paragraph) const {
        if (m_outcome.kept_tagged == 0)
            return "";
        return paragraph + Remplacer("#1", std::to_string(m_outcome.kept_tagged),
                                     m_language.translate("x_kept_tagged"));
    }

    // The pictures a name clash left out, as a paragraph of the report; "" when none.
    std::string skipped_text(const std::string& paragraph) const {
        if (m_outcome.skipped_at_clash == 0)
            return "";
        return paragraph + Remplacer("#1", std::to_string(m_outcome.skipped_at_clash),
                                     m_language.translate("x_skipped_clash"));
    }

    // How many pictures were copied before the stop, out of those found, then the failures
    // and the originals kept as in the report of a whole run.
    void stopped_report(const std::string& paragraph) {
        std::string text = Remplacer("#1", std::to_string(m_outcome.copied),
                                     Remplacer("#2", std::to_string(m_outcome.found),
                                               m_language.translate("transfer_stopped")));
        if (m_outcome.failed > 0)
            text += paragraph + Remplacer("#1", std::to_string(m_outcome.failed),
                                          m_language.translate("x_failed"));
        if (!m_outcome.originals_kept.empty())
            text += paragraph + originals_kept_text();
        const bool clean = m_outcome.failed == 0 && m_outcome.originals_kept.empty();
        message(text + capture_date_note(paragraph) + kept_tagged_text(paragraph) +
                    skipped_text(paragraph),
                clean ? Icon::Information : Icon::Critical);
    }

    // How many pictures were named by their creation date for want of a capture date, as a
    // paragraph of its own; nothing when there were none.
    std::string capture_date_note(const std::string& paragraph) const {
        if (m_outcome.without_capture_date == 0)
            return {};
        return paragraph + Remplacer("#1", std::to_string(m_outcome.without_capture_date),
                                     m_language.translate("x_no_capture_date"));
    }

    // The count, then the originals still on the source, one a line; a long list ends
    // after a few names so the box stays on the screen.
    std::string originals_kept_text() const {
        const std::vector<std::string>& kept = m_outcome.originals_kept;
        std::string text =
            Remplacer("#1", std::to_string(kept.size()), m_language.translate("x_not_deleted"));
        for (size_t i = 0; i < kept.size() && i < kMaxNamedOriginals; ++i)
            text += std::string(CRLF) + kept[i];
        if (kept.size() > kMaxNamedOriginals)
            text += std::string(CRLF) + "...";
        return text;
    }

    bool stop_with(const std::string& key, Icon icon) {
        message(m_language.translate(key), icon);
        return false;
    }

    void message(const std::string& text, Icon icon) {
        m_dialogs.message_box(text, application_title, icon, Buttons::Ok);
    }

    const TransferOptions& m_options;
    const std::string& m_thumbs_dir;
    const LanguageTable& m_language;
    Dialogs& m_dialogs;
    ProgressSink& m_progress;
    std::vector<TransferredPicture>& m_pictures;
    TaskQueue& m_thumbnail_tasks;
    std::vector<std::shared_ptr<PendingThumbnail>> m_thumbnails;
    std::set<std::string> m_thumb_names;
    std::string m_quality_text;
    int16_t m_quality = 100;
    std::string m_destination;
    std::vector<std::string> m_list;
    std::vector<int64_t> m_sizes;
    int64_t m_total_size = 0;
    TransferOutcome m_outcome;
    std::optional<SourceCard> m_card;
    std::unique_ptr<TransferHistory> m_history;
    bool m_history_reported = false;
    ClashAnswer m_clash_answer = ClashAnswer::Ask;
};

} // namespace

int jpeg_quality_of(int typed) {
    return typed < 1 || typed > 100 ? 100 : typed;
}

TransferOutcome run_transfer(const TransferOptions& options, const std::string& thumbs_dir,
                             const LanguageTable& language, Dialogs& dialogs,
                             ProgressSink& progress,
                             std::vector<TransferredPicture>& transferred_pictures,
                             const std::function<void()>& before_report,
                             TaskQueue* thumbnail_tasks) {
    const EndGuard end(progress);
    InlineTasks in_line;
    TransferRun run(options, thumbs_dir, language, dialogs, progress, transferred_pictures,
                    thumbnail_tasks ? *thumbnail_tasks : in_line);
    return run.run(before_report);
}

void set_after_copy_hook(AfterCopyHook hook) {
    after_copy_hook() = std::move(hook);
}

} // namespace orvix
