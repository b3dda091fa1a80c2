// Runs the rotate command of the toolbar (90 degrees clockwise, lossless, thumbnails
// remade, the grid refilled once) on every picture given, in one process, and prints the
// wall time, so that scripts/bench-edit can set it against jpegtran and vipsthumbnail.
//
// Usage: orvix_edit_bench THUMBS_DIR FILE...
//   Each picture's thumbnail is THUMBS_DIR/NAME.jpg.

#include "editing/edit_commands.h"
#include "fs/fs.h"
#include "platform/dialogs.h"
#include "settings/language.h"

#include <chrono>
#include <cstdio>
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
    void set_File_Titlestring(int32_t, const std::string&) override {}
    void set_TitleText(const std::string&) override {}
    void refresh() override { ++refreshes; }
    int refreshes = 0;

private:
    std::string m_list;
    std::vector<int32_t> m_selection;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: orvix_edit_bench THUMBS_DIR FILE...\n");
        return 2;
    }
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
    orvix::EditContext context{records, thumbs, language, dialogs, grid, {}};

    const auto start = std::chrono::steady_clock::now();
    const orvix::EditReport report = orvix::transform_selected(context, "qvd");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int failures = 0;
    for (const orvix::EditResult& result : report)
        failures += result.outcome != orvix::EditOutcome::Changed;
    std::printf("rotate90: %zu files in %.3f s (%.2f ms a file), grid refilled %d time(s)\n",
                records.size(), seconds, 1000.0 * seconds / double(records.size()), grid.refreshes);
    return failures == 0 && grid.refreshes == 1 ? 0 : 1;
}
