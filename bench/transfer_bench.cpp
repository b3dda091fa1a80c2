// One whole transfer between two folders, without a window: every question is answered
// with its default, progress goes nowhere. Prints the wall time of the run.
//
// Usage: orvix_transfer_bench SOURCE DEST [--thumbs DIR] [--format N] [--quality Q] [--delete]
//   --thumbs DIR  make thumbnails into DIR (the run's thumbs_dir)
//   --format N    the format list's index: 0 none, 1 jpg, 2 bmp, 3 tif, 4 png, 5 psd
//   --delete      delete the originals once their copies are verified

#include "platform/dialogs.h"
#include "settings/language.h"
#include "transfer/transfer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class SilentProgress : public orvix::ProgressSink {
public:
    void set_min(int) override {}
    void set_max(int) override {}
    void set_value(int) override {}
    void set_caption(const std::string&) override {}
    void set_visible(bool) override {}
    void set_quality_text(const std::string&) override {}
};

int usage() {
    std::fprintf(stderr, "usage: orvix_transfer_bench SOURCE DEST [--thumbs DIR] [--format N] "
                         "[--quality Q] [--delete]\n");
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
        } else {
            return usage();
        }
    }

    // Only the report's numbers matter here; the texts are kept short.
    orvix::LanguageTable language;
    language.parse_language_text("end_transfer=#1\rx_failed=#1 failed\rcopy_error=copy error #1\r"
                                 "no_room=no room\rsource_notfound=no source\r"
                                 "dest_notfound=no destination\rno_picture_transferable=none\r"
                                 "dest_inside_source=destination inside source");
    orvix::ScriptedDialogs dialogs;
    SilentProgress progress;
    std::vector<orvix::TransferredPicture> pictures;

    const auto start = std::chrono::steady_clock::now();
    const orvix::TransferOutcome outcome =
        orvix::run_transfer(options, thumbs_dir, language, dialogs, progress, pictures);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    for (const auto& message : dialogs.messages()) {
        if (message.icon != orvix::Icon::Information)
            std::fprintf(stderr, "message: %s\n", message.text.c_str());
    }
    std::printf("seconds=%.3f found=%d copied=%d failed=%d thumbnails=%zu\n", elapsed.count(),
                outcome.found, outcome.copied, outcome.failed, pictures.size());
    return outcome.ran && outcome.failed == 0 && outcome.copied == outcome.found ? 0 : 1;
}
