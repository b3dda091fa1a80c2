// libFuzzer harness: convert_image3 on a picture file of fuzzed bytes, with fuzzed crop and
// resize texts, transform code, quality and target format; get_image_size and the lossless
// JPEG transform on the same file. Besides crashes, hangs and leaks it reports a failure
// that leaves anything behind: a target, a temporary file, or a changed source.
//
// Input layout (scripts/fuzz makes seeds of this form):
//   byte 0   bits 0-2: source extension, bit 3: the target is the source itself,
//            bit 4: also run jpeg_lossless_transform
//   byte 1   target extension
//   byte 2   transform code
//   byte 3   JPEG quality
//   crop text up to "\n", resize text up to "\n", then the file's bytes

#include "imaging/imaging.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace {

namespace stdfs = std::filesystem;

// "dat" is in no table: the format is guessed from the content.
constexpr const char* kSourceExtensions[] = {"jpg", "png", "bmp", "tif",
                                             "tga", "pcx", "psd", "dat"};
// "gif" has no writer; "" takes the source's format.
constexpr const char* kTargetExtensions[] = {"jpg", "png", "bmp", "tif", "tga",
                                             "pcx", "psd", "gif", ""};
// 3 is no transform code at all.
constexpr int16_t kTransforms[] = {0, 1, 2, 5, 6, 7, 3};

template <typename T, size_t N> const T& pick(const T (&table)[N], uint8_t byte) {
    return table[byte % N];
}

// A private folder for the files of one input, emptied after each.
class Scratch {
public:
    Scratch() {
        std::string pattern = (stdfs::temp_directory_path() / "orvix-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        m_path = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        stdfs::remove_all(m_path, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    std::string file(const std::string& name) const { return (m_path / name).string(); }

    // Every entry goes; the caller has already checked what was there.
    void clear() const {
        std::error_code ignored;
        for (const auto& entry : stdfs::directory_iterator(m_path, ignored))
            stdfs::remove_all(entry.path(), ignored);
    }

    // Names of the entries, sorted, one a line.
    std::string listing() const {
        std::string names;
        std::error_code ignored;
        for (const auto& entry : stdfs::directory_iterator(m_path, ignored))
            names += entry.path().filename().string() + "\n";
        return names;
    }

    bool only_holds(std::initializer_list<std::string_view> allowed) const {
        std::error_code ignored;
        for (const auto& entry : stdfs::directory_iterator(m_path, ignored)) {
            bool known = false;
            for (std::string_view name : allowed)
                known = known || entry.path().filename() == name;
            if (!known)
                return false;
        }
        return true;
    }

private:
    stdfs::path m_path;
};

std::string take_line(std::string_view& input) {
    const size_t end = input.find('\n');
    const size_t length = end == std::string_view::npos ? input.size() : end;
    std::string line(input.substr(0, length));
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    return line;
}

void write_bytes(const std::string& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), std::streamsize(bytes.size()));
    if (!file)
        std::abort();
}

std::string read_bytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

[[noreturn]] void fault(const char* what, const Scratch& scratch) {
    std::fprintf(stderr, "convert_image3_fuzz: %s\nfolder:\n%s", what, scratch.listing().c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // One thread for Magick++: the machine is shared, and a single thread keeps runs
    // reproducible.
    ::setenv("MAGICK_THREAD_LIMIT", "1", 1);
    ::setenv("OMP_NUM_THREADS", "1", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Scratch scratch;
    if (size < 4)
        return 0;
    const uint8_t options = data[0];
    const std::string source_extension = pick(kSourceExtensions, options & 7);
    const bool in_place = options & 8;
    const bool lossless = options & 16;
    const std::string target_extension = pick(kTargetExtensions, data[1]);
    const int16_t transform = pick(kTransforms, data[2]);
    const int16_t quality = int16_t(int8_t(data[3]));
    std::string_view input(reinterpret_cast<const char*>(data) + 4, size - 4);
    const std::string crop = take_line(input);
    const std::string resize = take_line(input);

    const std::string source_name = "source." + source_extension;
    const std::string source = scratch.file(source_name);
    write_bytes(source, input);

    (void)orvix::get_image_size(source);

    const std::string target_name =
        in_place ? source_name
                 : (target_extension.empty() ? "target" : "target." + target_extension);
    const std::string target = scratch.file(target_name);
    const int32_t rc = orvix::convert_image3(source, target, crop, resize, false, quality, 0, false,
                                             "", "", transform);
    if (!scratch.only_holds({source_name, target_name}))
        fault("a file other than the source and the target was left behind", scratch);
    if (rc != 0 && !in_place && stdfs::exists(target))
        fault("a failed conversion left a target", scratch);
    if (rc != 0 && in_place && read_bytes(source) != input)
        fault("a failed conversion in place changed the source", scratch);

    if (lossless) {
        const std::string turned = scratch.file("turned.jpg");
        const int32_t turned_rc = orvix::jpeg_lossless_transform(source, turned, transform);
        if (turned_rc != 0 && stdfs::exists(turned))
            fault("a failed lossless transform left a target", scratch);
        if (!scratch.only_holds({source_name, target_name, "turned.jpg"}))
            fault("a lossless transform left a temporary file", scratch);
    }
    scratch.clear();
    return 0;
}
