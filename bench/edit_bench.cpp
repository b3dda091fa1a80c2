// Runs the rotate command of the toolbar (90 degrees clockwise, lossless, thumbnails
// remade, the grid refilled once) on every picture given, in one process, as the window
// runs a command on several pictures: its pictures on the job runner's worker, the rest on
// the event loop's thread. Prints the wall time, so that scripts/bench-edit can set it
// against jpegtran and vipsthumbnail, and the longest time the event loop went without
// serving a 10 ms timer.
//
// Usage: orvix_edit_bench THUMBS_DIR FILE...
//   Each picture's thumbnail is THUMBS_DIR/NAME.jpg.
// Usage: orvix_edit_bench --grid COUNT FILLER_DIR THUMBS_DIR FILE...
//   The same command on the pictures given, selected among COUNT items of the window's
//   grid control (offscreen, 1280 x 800): the other items are the thumbnails of FILLER_DIR
//   (IMG_*.JPG), each its own picture, and the pictures given lie spread among them. Their
//   thumbnails are made and the grid filled before the clock starts; the time runs from the
//   click to the grid refilled with its visible cells drawn.
#include "controls/thumbgrid/glimra.h"
#include "editing/edit_commands.h"
#include "fs/fs.h"
#include "platform/dialogs.h"
#include "platform/qt/text_codec.h"
#include "runner/job_runner.h"
#include "settings/language.h"

#include "gap_meter.h"
#include <QApplication>

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
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

// The window's grid control as the commands see it, crossing to it as the window does.
class ControlGrid final : public orvix::ThumbnailGrid {
public:
    explicit ControlGrid(orvix::Glimra& grid) : m_grid(grid) {}
    std::string filelist() const override { return m_grid.model().filelist(); }
    void set_filelist(const std::string& text) override { m_grid.setFilelist(orvix::to_qt(text)); }
    std::vector<int32_t> selected_items() const override { return m_grid.model().selected_items(); }
    void select_items(const std::vector<int32_t>& items) override {
        m_grid.setSelectedItems(QString::fromStdString(orvix::selected_items_text(items)));
    }
    void set_LockScreen(bool lock) override { m_grid.setLockScreen(lock); }
    std::string File_Titlestring(int32_t index) const override {
        return m_grid.model().File_Titlestring(index);
    }
    void set_File_Titlestring(int32_t index, const std::string& text) override {
        m_grid.setFile_Titlestring(index, orvix::to_qt(text));
    }
    void set_TitleText(const std::string& text) override {
        m_grid.setTitleText(orvix::to_qt(text));
    }
    void refresh() override {
        ++refreshes;
        m_grid.refresh();
    }
    int refreshes = 0;

private:
    orvix::Glimra& m_grid;
};

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

struct Measured {
    double seconds = 0;
    double longest_gap_ms = 0;
    orvix::EditReport report;
    bool failed = false;
};

void run_until(const std::function<bool()>& done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
}

// The rotate command as the window runs it on several pictures: the plan (and its
// question) on the event loop's thread, the pictures on the runner's worker, the grid at
// the end on the event loop's thread again; timed from the click until shown() holds.
Measured run_rotate(orvix::EditContext& context, orvix::Dialogs& dialogs,
                    const std::function<bool()>& shown) {
    QElapsedTimer clock;
    GapMeter gaps;
    orvix::JobRunner runner;
    std::optional<orvix::EditBatch> batch;
    Measured measured;
    QTimer::singleShot(0, [&] {
        clock.start();
        gaps.start();
        batch = orvix::plan_transform(context, "qvd");
        if (!batch) {
            measured.failed = true;
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
                measured.report = batch->finish(context);
                if (end.failed) {
                    measured.failed = true;
                    std::fprintf(stderr, "error: %s\n", end.error.c_str());
                }
                QCoreApplication::quit();
            });
    });
    QCoreApplication::exec();
    run_until(shown);
    measured.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    measured.longest_gap_ms = gaps.stop();
    return measured;
}

int changed_all(const Measured& measured, size_t pictures) {
    int failures = measured.failed ? 1 : 0;
    for (const orvix::EditResult& result : measured.report)
        failures += result.outcome != orvix::EditOutcome::Changed;
    return failures == 0 && measured.report.size() == pictures ? 0 : 1;
}

int run_on_list(int argc, char** argv) {
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

    const Measured measured = run_rotate(context, dialogs, [] { return true; });
    std::printf("rotate90: %zu files in %.3f s (%.2f ms a file), grid refilled %d time(s), "
                "gap_ms=%.0f\n",
                records.size(), measured.seconds,
                1000.0 * measured.seconds / double(records.size()), grid.refreshes,
                measured.longest_gap_ms);
    return changed_all(measured, records.size()) == 0 && grid.refreshes == 1 ? 0 : 1;
}

// The files given spread over a list of count records, the filler's thumbnails between.
std::vector<orvix::TransferredPicture> spread_records(size_t count, const std::string& filler_dir,
                                                      const std::string& thumbs,
                                                      const std::vector<std::string>& files) {
    std::vector<std::string> filler;
    orvix::list_files(filler_dir, filler, "jpg", false);
    std::sort(filler.begin(), filler.end());
    const size_t others = count > files.size() ? count - files.size() : 0;
    if (filler.size() < others)
        return {};
    std::vector<orvix::TransferredPicture> records;
    records.reserve(others + files.size());
    for (size_t i = 0; i < others; ++i)
        records.push_back({filler[i], filler[i]});
    // The first at the start, the last at the end, the others evenly between.
    for (size_t i = 0; i < files.size(); ++i) {
        const size_t place = (files.size() == 1 ? 0 : i * others / (files.size() - 1)) + i;
        records.insert(records.begin() + long(place),
                       {files[i], thumbs + orvix::file_name(files[i], false) + ".jpg"});
    }
    return records;
}

int run_on_grid(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const size_t count = size_t(std::atol(argv[2]));
    const std::string filler_dir = orvix::add_trailing_separator(argv[3]);
    const std::string thumbs = orvix::add_trailing_separator(argv[4]);
    const std::vector<std::string> files(argv + 5, argv + argc);
    std::vector<orvix::TransferredPicture> records =
        spread_records(count, filler_dir, thumbs, files);
    if (records.size() != std::max(count, files.size())) {
        std::fprintf(stderr, "too few thumbnails in %s\n", filler_dir.c_str());
        return 2;
    }
    int qt_argc = 1;
    QApplication app(qt_argc, argv);
    orvix::Glimra control;
    control.resize(1280, 800);
    control.setThumbnailsSize(-1300);
    control.show();
    ControlGrid grid(control);
    orvix::LanguageTable language;
    orvix::StderrDialogs dialogs;
    orvix::EditContext context{records, thumbs, language, dialogs, grid, {}, nullptr};

    // As a transfer leaves the window: the thumbnails made, the grid filled and drawn.
    for (const std::string& file : files)
        if (orvix::make_thumbnail(file, thumbs + orvix::file_name(file, false) + ".jpg") != 0) {
            std::fprintf(stderr, "no thumbnail of %s\n", file.c_str());
            return 1;
        }
    orvix::fill_thumbnail_grid(context);
    const auto drawn = [&] {
        return control.loader().in_flight() == 0 &&
               control.loader().missing_among_first(1 << 20) == 0;
    };
    run_until(drawn);
    std::vector<int32_t> selection;
    const orvix::PictureMap shown(records, orvix::grid_items(grid.filelist()));
    for (int32_t item = 1; item <= shown.item_count(); ++item) {
        const std::optional<size_t> record = shown.record_of_item(item);
        if (record &&
            std::find(files.begin(), files.end(), records[*record].picture_path) != files.end())
            selection.push_back(item);
    }
    grid.select_items(selection);
    const int refreshes = grid.refreshes;

    const Measured measured = run_rotate(context, dialogs, drawn);
    std::printf("grid_rotate90: %zu files in a grid of %d in %.3f s, gap_ms=%.0f, seconds=%.4f\n",
                files.size(), control.model().count(), measured.seconds, measured.longest_gap_ms,
                measured.seconds);
    const bool kept = grid.selected_items() == selection && selection.size() == files.size() &&
                      control.model().count() == int32_t(records.size()) &&
                      grid.refreshes == refreshes + 1;
    return changed_all(measured, files.size()) == 0 && kept ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 6 && std::strcmp(argv[1], "--grid") == 0)
        return run_on_grid(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: orvix_edit_bench THUMBS_DIR FILE...\n"
                     "       orvix_edit_bench --grid COUNT FILLER_DIR THUMBS_DIR FILE...\n");
        return 2;
    }
    return run_on_list(argc, argv);
}
