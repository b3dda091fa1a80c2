// Runs the rotate command of the toolbar (90 degrees clockwise, lossless, thumbnails
// remade, the grid refilled once) on every picture given, in one process, as the window
// runs a command on several pictures: its pictures on the job runner's worker, the rest on
// the event loop's thread. Prints the wall time, so that scripts/bench-edit can set it
// against jpegtran and vipsthumbnail, and the longest time the event loop went without
// serving a 10 ms timer.
//
// Usage: orvix_edit_bench THUMBS_DIR FILE...
//   Each picture's thumbnail is THUMBS_DIR/NAME.jpg.

#include "editing/edit_commands.h"
#include "fs/fs.h"
#include "platform/dialogs.h"
#include "runner/job_runner.h"
#include "settings/language.h"

#include "gap_meter.h"
#include <QCoreApplication>

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

// The grid as the commands see it, without a window: the list it was given, all selected.
class ListGrid final : public orvix::ThumbnailGrid {
public:
    std::string filelist() const override { return m_list; }
    void set_filelist(const std::string& text) override { m_list = text; }
    std::vector<int32_t> selected_items() const override { return m_selection; }
    void select_items(const std::vector<int32_t>& items) override { m_selection = items; }
    void set_LockScreen(bool) override {}
    std::string File_Titlestring(int32_t) const override { return ""; }
    void set_File_Titlestring(int32_t, const std::string&) override {}
    void set_TitleText(const std::string&) override {}
    void refresh() override { ++refreshes; }
    int refreshes = 0;

private:
    std::string m_list;
    std::vector<int32_t> m_selection;
};

} // namespace

// The worker's side as the window has it: after each picture a call on the event loop's
// thread that the worker waits for, the stop flag read between pictures.
class WindowRoundTrip final : public orvix::BatchSink {
public:
    explicit WindowRoundTrip(orvix::JobContext& job) : m_job(job) {}
    void file_done(size_t, const orvix::FileOutcome&) override {
        m_job.on_window([] {});
    }
    bool stop_requested() const override { return m_job.stop_requested(); }

private:
    orvix::JobContext& m_job;
};

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: orvix_edit_bench THUMBS_DIR FILE...\n");
        return 2;
    }
    int qt_argc = 1;
    QCoreApplication app(qt_argc, argv);
    const std::string thumbs = orvix::add_trailing_separator(argv[1]);
    std::vector<orvix::TransferredPicture> records;
    ListGrid grid;
    std::string list;
    std::vector<int32_t> selection;
    for (int i = 2; i < argc; ++i) {
        records.push_back({argv[i], thumbs + orvix::file_name(argv[i], false) + ".jpg"});
        list += (i > 2 ? "\r" : "") + records.back().thumb_path;
        selection.push_back(i - 1);
    }
    grid.set_filelist(list);
    grid.select_items(selection);
    orvix::LanguageTable language;
    orvix::StderrDialogs dialogs;
    orvix::EditContext context{records, thumbs, language, dialogs, grid, {}, nullptr};

    // The longest time the event loop went without serving a 10 ms timer, from the click
    // to the grid refilled.
    QElapsedTimer clock;
    GapMeter gaps;
    double longest_gap = 0;

    // As the window runs a command on several pictures: the plan (and its question) on the
    // event loop's thread, the pictures on the runner's worker, the grid at the end on the
    // event loop's thread again.
    orvix::JobRunner runner;
    std::optional<orvix::EditBatch> batch;
    orvix::EditReport report;
    double seconds = 0;
    bool failed = false;
    QTimer::singleShot(0, [&] {
        clock.start();
        gaps.start();
        batch = orvix::plan_transform(context, "qvd");
        if (!batch) {
            failed = true;
            QCoreApplication::quit();
            return;
        }
        runner.start(
            [&](orvix::JobContext& job) {
                WindowRoundTrip sink(job);
                batch->run(sink);
            },
            dialogs,
            [&](const orvix::JobEnd& end) {
                report = batch->finish(context);
                seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
                longest_gap = gaps.stop();
                if (end.failed) {
                    failed = true;
                    std::fprintf(stderr, "error: %s\n", end.error.c_str());
                }
                QCoreApplication::quit();
            });
    });
    QCoreApplication::exec();

    int failures = failed ? 1 : 0;
    for (const orvix::EditResult& result : report)
        failures += result.outcome != orvix::EditOutcome::Changed;
    std::printf("rotate90: %zu files in %.3f s (%.2f ms a file), grid refilled %d time(s), "
                "gap_ms=%.0f\n",
                records.size(), seconds, 1000.0 * seconds / double(records.size()), grid.refreshes,
                longest_gap);
    return failures == 0 && report.size() == records.size() && grid.refreshes == 1 ? 0 : 1;
}
