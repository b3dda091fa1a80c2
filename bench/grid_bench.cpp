// The thumbnail grid on 10,000 thumbnails, on the offscreen platform: the time from writing
// its file list to the visible cells drawn with their pictures, the frame time of scrolling
// page by page with the cache warm, the resident memory it adds, and the longest time the
// user-interface thread went without serving a 10 ms timer while cells loaded. Beside them,
// in the same run, the floor: the visible cells' thumbnails read and decoded with TurboJPEG
// in a tight loop, and the header reads of the whole list.
//
// Usage: orvix_grid_bench FOLDER [COUNT] [PAGES] [--cold | --floor VISIBLE]
//   FOLDER  holds the thumbnails (IMG_*.JPG, as orvix_bench_pictures writes them)
//   COUNT   how many of them the list holds (default 10000)
//   PAGES   pages to scroll (default 40)
//   --cold  the caller has dropped the page cache: the list is not read before the grid
//   --floor only the floor, for a page cache the caller has dropped: the first VISIBLE
//           thumbnails decoded, then the headers of the list
// Prints one "name value" line a figure.

#include "controls/common/image_header.h"
#include "controls/thumbgrid/cell_loader.h"
#include "controls/thumbgrid/glimra.h"
#include "fs/fs.h"
#include "gap_meter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QScrollBar>
#include <QTimer>

#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double resident_mb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

struct TjFree {
    void operator()(void* handle) const { tjDestroy(handle); }
};

// Reads and decodes each file whole, one after the other.
double turbojpeg_floor_ms(const std::vector<std::string>& paths) {
    std::unique_ptr<void, TjFree> decoder(tjInitDecompress());
    std::vector<unsigned char> pixels;
    const auto start = Clock::now();
    for (const std::string& path : paths) {
        std::ifstream file(path, std::ios::binary);
        const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                               std::istreambuf_iterator<char>());
        int width = 0, height = 0, subsampling = 0, colours = 0;
        if (tjDecompressHeader3(decoder.get(), bytes.data(), bytes.size(), &width, &height,
                                &subsampling, &colours) != 0)
            continue;
        pixels.resize(size_t(width) * height * 3);
        tjDecompress2(decoder.get(), bytes.data(), bytes.size(), pixels.data(), width, 0, height,
                      TJPF_RGB, 0);
    }
    return ms_since(start);
}

bool idle(const orvix::Glimra& grid) {
    return grid.loader().in_flight() == 0 && grid.loader().missing_among_first(1 << 20) == 0;
}

void run_until(const std::function<bool()>& done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: orvix_grid_bench FOLDER [COUNT] [PAGES] [--cold]\n");
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string folder = orvix::add_trailing_separator(argv[1]);
    const size_t count = argc > 2 ? size_t(std::atol(argv[2])) : 10000;
    const int pages = argc > 3 ? std::atoi(argv[3]) : 40;
    const std::string mode = argc > 4 ? argv[4] : "";
    const bool cold = mode == "--cold";

    std::vector<std::string> paths;
    orvix::list_files(folder, paths, "jpg", false);
    std::sort(paths.begin(), paths.end());
    if (paths.size() > count)
        paths.resize(count);
    if (paths.empty()) {
        std::fprintf(stderr, "no thumbnails in %s\n", folder.c_str());
        return 1;
    }
    if (mode == "--floor" && argc > 5) {
        const size_t visible = std::min(paths.size(), size_t(std::atol(argv[5])));
        const std::vector<std::string> first(paths.begin(), paths.begin() + long(visible));
        std::printf("floor_visible_decode_ms %.1f\n", turbojpeg_floor_ms(first));
        const auto headers = Clock::now();
        for (const std::string& path : paths)
            orvix::ReadImageHeader(path);
        std::printf("floor_header_reads_ms %.1f\n", ms_since(headers));
        return 0;
    }
    std::string list;
    for (const std::string& path : paths)
        list += (list.empty() ? "" : "\r") + path;

    QApplication app(argc, argv);
    orvix::Glimra grid;
    grid.resize(1280, 800);
    grid.setThumbnailsSize(-1300);
    grid.show();
    // The window has long been open when a transfer ends: its resize is settled and its
    // fonts are loaded.
    grid.grab();
    QFontMetrics(grid.font())
        .boundingRect(QRect(0, 0, 80, 80), Qt::TextWordWrap,
                      QStringLiteral("IMG_0001.jpg (100 x 75)"));
    const auto settle = Clock::now();
    run_until([&] { return ms_since(settle) > 1200; });
    QWidget* fond = grid.findChild<QWidget*>(QStringLiteral("fond"));
    auto* scroll = grid.findChild<QScrollBar*>(QStringLiteral("VScroll"));

    // Both sides meet the list with the same caches: one untimed pass over the headers
    // unless the run is to start cold.
    if (!cold)
        for (const std::string& path : paths)
            orvix::ReadImageHeader(path);
    const double rss_before = resident_mb();
    GapMeter gaps;

    // From writing the list to the visible cells drawn with their pictures.
    const auto written = Clock::now();
    grid.setFilelist(QString::fromStdString(list));
    const double list_ms = ms_since(written);
    gaps.start();
    const int visible = int(grid.model().items_between(0, grid.model().area_height()).size());
    run_until([&] { return grid.loader().missing_among_first(visible) == 0; });
    fond->repaint();
    const double first_paint_ms = ms_since(written);
    // The neighbours come in behind.
    run_until([&] { return idle(grid); });
    const double loading_gap_ms = gaps.stop();

    // One page a frame, the next pages already read ahead.
    std::vector<double> frames;
    gaps.start();
    for (int page = 0; page < pages && scroll->value() < scroll->maximum(); ++page) {
        run_until([&] { return idle(grid); });
        const auto start = Clock::now();
        scroll->setValue(scroll->value() + scroll->pageStep());
        fond->repaint();
        frames.push_back(ms_since(start));
    }
    run_until([&] { return idle(grid); });
    const double scrolling_gap_ms = gaps.stop();
    const double rss_after = resident_mb();
    std::sort(frames.begin(), frames.end());

    // The floor, in the same run: the visible cells' own thumbnails, and every header.
    std::vector<std::string> visible_paths;
    for (int32_t index : grid.model().items_between(0, grid.model().area_height()))
        visible_paths.push_back(grid.model().item(index)->ThumbPath);
    const double floor_decode_ms = turbojpeg_floor_ms(visible_paths);
    const auto headers = Clock::now();
    for (const std::string& path : paths)
        orvix::ReadImageHeader(path);
    const double header_reads_ms = ms_since(headers);

    std::printf("items %zu\n", paths.size());
    std::printf("visible_cells %d\n", visible);
    std::printf("cell_size_twips %d\n", grid.model().layout().s);
    std::printf("list_load_ms %.1f\n", list_ms);
    std::printf("first_paint_ms %.1f\n", first_paint_ms);
    std::printf("floor_visible_decode_ms %.1f\n", floor_decode_ms);
    std::printf("floor_header_reads_ms %.1f\n", header_reads_ms);
    std::printf("first_paint_bound_ms %.1f\n", 1.5 * floor_decode_ms + header_reads_ms);
    std::printf("longest_gap_while_loading_ms %.1f\n", loading_gap_ms);
    std::printf("longest_gap_while_scrolling_ms %.1f\n", scrolling_gap_ms);
    std::printf("scroll_frames %zu\n", frames.size());
    if (!frames.empty()) {
        std::printf("scroll_frame_median_ms %.2f\n", frames[frames.size() / 2]);
        std::printf("scroll_frame_max_ms %.2f\n", frames.back());
    }
    std::printf("rss_growth_mb %.1f\n", rss_after - rss_before);
    std::printf("cache_mb %.1f\n", double(grid.loader().cached_bytes()) / (1024.0 * 1024.0));
    return 0;
}
