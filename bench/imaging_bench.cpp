// Runs one picture operation over a list of files in one process and prints the wall time,
// so that scripts/bench-imaging can set it against the command-line tools doing the same.
//
// Usage: orvix_imaging_bench OPERATION OUTDIR FILE...
//   thumb          100-pixel-wide thumbnail, JPEG quality 100     -> OUTDIR/NAME_t.jpg
//   resize1024     longer side 1024 ("*1024"), JPEG quality 85    -> OUTDIR/NAME_r.jpg
//   resize1024png  the same written to PNG                        -> OUTDIR/NAME_r.png
//   rotate90       lossless rotation by 90 degrees clockwise      -> OUTDIR/NAME_rot.jpg
//   size           the picture's size, printed                       (nothing written)
//   tiff2jpg       conversion to JPEG quality 80                  -> OUTDIR/NAME.jpg

#include "imaging/imaging.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

std::string stem_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

int32_t convert(const std::string& source, const std::string& target, const std::string& resize,
                int16_t quality) {
    return orvix::convert_image(
        source, target, {.crop = {}, .resize = orvix::resize_of_text(resize), .quality = quality});
}

// 0 when the operation succeeded on the file, else the code it gave (1 for a failed size).
int32_t run(std::string_view operation, const std::string& file, const std::string& out) {
    const std::string base = out + "/" + stem_of(file);
    if (operation == "thumb")
        return convert(file, base + "_t.jpg", "100", 100);
    if (operation == "resize1024")
        return convert(file, base + "_r.jpg", "*1024", 85);
    if (operation == "resize1024png")
        return convert(file, base + "_r.png", "*1024", 85);
    if (operation == "rotate90")
        return orvix::jpeg_lossless_transform(file, base + "_rot.jpg", 5);
    if (operation == "tiff2jpg")
        return convert(file, base + ".jpg", "", 80);
    const std::optional<orvix::Size> size = orvix::image_size(file);
    std::printf("%s %s\n", file.c_str(), orvix::size_text(size).c_str());
    return size ? 0 : 1;
}

bool known(std::string_view operation) {
    for (std::string_view name :
         {"thumb", "resize1024", "resize1024png", "rotate90", "size", "tiff2jpg"})
        if (operation == name)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4 || !known(argv[1])) {
        std::fprintf(stderr,
                     "usage: orvix_imaging_bench "
                     "thumb|resize1024|resize1024png|rotate90|size|tiff2jpg OUTDIR FILE...\n");
        return 2;
    }
    const std::string_view operation = argv[1];
    const std::string out = argv[2];
    const auto start = std::chrono::steady_clock::now();
    int failures = 0;
    for (int i = 3; i < argc; ++i) {
        if (const int32_t rc = run(operation, argv[i], out); rc != 0) {
            std::fprintf(stderr, "orvix_imaging_bench: %s failed on %s with code %d\n", argv[1],
                         argv[i], int(rc));
            ++failures;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int files = argc - 3;
    std::printf("%s: %d files in %.3f s (%.2f ms a file)\n", argv[1], files, seconds,
                1000.0 * seconds / files);
    return failures == 0 ? 0 : 1;
}
