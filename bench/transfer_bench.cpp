// One whole transfer between two folders as the window runs it, without a window: the run
// on the job runner's worker, thumbnails made beside it, every question answered with its
// default on the event loop's thread, progress crossing to that thread and dropped there.
// Prints the wall time of the run and the longest time the event loop went without serving
// a 10 ms timer.
//
// Usage: orvix_transfer_bench SOURCE DEST [--thumbs DIR] [--format N] [--quality Q] [--delete]
//   --thumbs DIR  make thumbnails into DIR (the run's thumbs_dir)
//   --format N    the format list's index: 0 none, 1 jpg, 2 bmp, 3 tif, 4 png, 5 psd
//   --delete      delete the originals once their copies are verified

#include "platform/dialogs.h"
#include "platform/tasks.h"
#include "runner/job_runner.h"
#include "settings/language.h"
#include "transfer/transfer.h"

#include "gap_meter.h"
#include <QCoreApplication>

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Hands each call to the event loop's thread, as the window's progress does.
class PostedSilentProgress : public orvix::ProgressSink {
public:
    explicit PostedSilentProgress(orvix::JobContext& job) : m_job(job) {}
    void set_min(int) override {
        m_job.post([] {});
    }
    void set_max(int) override {
        m_job.post([] {});
    }
    void set_value(int) override {
        m_job.post([] {});
    }
    void set_caption(const std::string&) override {
        m_job.post([] {});
    }
    void set_visible(bool) override {
        m_job.post([] {});
    }
    void set_quality_text(const std::string&) override {
        m_job.post([] {});
    }
    void set_bytes_done(int64_t, int64_t) override {
        m_job.post([] {});
    }

private:
    orvix::JobContext& m_job;
};

int usage() {
    std::fprintf(stderr, "usage: orvix_transfer_bench SOURCE DEST [--thumbs DIR] [--format N] "
                         "[--quality Q] [--delete] [--capture-date]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return usage();
    orvix::TransferOptions options;
    options.source_text = argv[1];
    options.destination_text = argv[2];
    options.quality_text = "92";
    std::string thumbs_dir;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--thumbs" && has_value) {
            thumbs_dir = argv[++i];
            options.show_thumbs = true;
        } else if (arg == "--format" && has_value) {
            options.format_index = std::atoi(argv[++i]);
        } else if (arg == "--quality" && has_value) {
            options.quality_text = argv[++i];
        } else if (arg == "--delete") {
            options.delete_originals = true;
        } else if (arg == "--capture-date") {
            options.naming = orvix::NamingMode::CaptureDate;
        } else {
            return usage();
        }
    }
    int qt_argc = 1;
    QCoreApplication app(qt_argc, argv);

    // Only the report's numbers matter here; the texts are kept short.
    orvix::LanguageTable language;
    language.parse_language_text("end_transfer=#1\rx_failed=#1 failed\rcopy_error=copy error #1\r"
                                 "no_room=no room\rsource_notfound=no source\r"
                                 "dest_notfound=no destination\rno_picture_transferable=none\r"
                                 "dest_inside_source=destination inside source\r"
                                 "transfer_stopped=stopped #1 of #2");
    orvix::ScriptedDialogs dialogs;
    std::vector<orvix::TransferredPicture> pictures;
    orvix::TransferOutcome outcome;

    QElapsedTimer clock;
    GapMeter gaps;
    double longest_gap = 0;

    orvix::JobRunner runner;
    double seconds = 0;
    clock.start();
    gaps.start();
    runner.start(
        [&](orvix::JobContext& job) {
            PostedSilentProgress progress(job);
            orvix::WorkerTasks thumbnails(orvix::WorkerTasks::threads_for_this_machine());
            outcome = orvix::run_transfer(options, thumbs_dir, language, job.dialogs(), progress,
                                          pictures, {}, &thumbnails);
        },
        dialogs,
        [&](const orvix::JobEnd& end) {
            seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
            longest_gap = gaps.stop();
            if (end.failed)
                std::fprintf(stderr, "error: %s\n", end.error.c_str());
            QCoreApplication::quit();
        });
    QCoreApplication::exec();

    for (const auto& message : dialogs.messages()) {
        if (message.icon != orvix::Icon::Information)
            std::fprintf(stderr, "message: %s\n", message.text.c_str());
    }
    std::printf("seconds=%.3f gap_ms=%.0f found=%d copied=%d failed=%d thumbnails=%zu\n", seconds,
                longest_gap, outcome.found, outcome.copied, outcome.failed, pictures.size());
    return outcome.ran && outcome.failed == 0 && outcome.copied == outcome.found ? 0 : 1;
}
