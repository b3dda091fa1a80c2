// Folder listing with the system's own directory calls: whatever bytes a name holds, it is
// listed, and entries come in the order the file system gives them (no sorting).
#include "fs/fs.h"

#include "fs/posix_handles.h"
#include "text/text.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>

namespace orvix {

namespace {

// A link counts as what it names, but a linked folder is never entered: a link can point
// back up the tree and the scan would never end.
enum class EntryKind { Other, File, Folder, LinkedFolder };

EntryKind kind_of_stat(const struct stat& st, EntryKind folder_kind) {
    if (S_ISREG(st.st_mode))
        return EntryKind::File;
    return S_ISDIR(st.st_mode) ? folder_kind : EntryKind::Other;
}

EntryKind entry_kind(DIR* dir, const dirent& entry) {
    switch (entry.d_type) {
    case DT_REG:
        return EntryKind::File;
    case DT_DIR:
        return EntryKind::Folder;
    case DT_LNK:
    case DT_UNKNOWN:
        break;
    default:
        // Devices, fifos and sockets are no pictures; reading a fifo would block the copy.
        return EntryKind::Other;
    }
    struct stat st;
    if (::fstatat(::dirfd(dir), entry.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return EntryKind::Other;
    if (!S_ISLNK(st.st_mode))
        return kind_of_stat(st, EntryKind::Folder);
    if (::fstatat(::dirfd(dir), entry.d_name, &st, 0) != 0)
        return EntryKind::Other;
    return kind_of_stat(st, EntryKind::LinkedFolder);
}

class Collector {
public:
    virtual ~Collector() = default;
    virtual void add(const std::string& path) = 0;
    virtual size_t count() const = 0;
};

class ListCollector : public Collector {
public:
    explicit ListCollector(std::vector<std::string>& result) : m_result(result) {}
    void add(const std::string& path) override { m_result.push_back(path); }
    size_t count() const override { return m_result.size(); }

private:
    std::vector<std::string>& m_result;
};

class TextCollector : public Collector {
public:
    TextCollector(std::string& result, const std::string& separator)
        : m_result(result), m_separator(separator) {
        if (!m_result.empty())
            m_count = static_cast<size_t>(nb_tokens(m_result, m_separator)) -
                      (m_result.ends_with(m_separator) ? 1 : 0);
    }
    void add(const std::string& path) override {
        if (!m_result.empty() && !m_result.ends_with(m_separator))
            m_result += m_separator;
        m_result += path;
        ++m_count;
    }
    size_t count() const override { return m_count; }
    void finish() {
        if (m_result.ends_with(m_separator))
            m_result.erase(m_result.size() - m_separator.size());
    }

private:
    std::string& m_result;
    const std::string& m_separator;
    size_t m_count = 0;
};

struct Scan {
    std::string filter; // lower case
    bool recurse = false;
    int max_count = 0;
};

constexpr std::string_view FOLDERS_ONLY = "folders";

bool wanted_file(const std::string& name, const std::string& filter) {
    if (filter.empty() || filter == "*.*")
        return true;
    if (filter == FOLDERS_ONLY)
        return false;
    const std::string extension = file_extension(name);
    return !extension.empty() && filter.find(extension) != std::string::npos;
}

bool wanted(EntryKind kind, const std::string& name, const std::string& filter) {
    if (kind == EntryKind::File)
        return wanted_file(name, filter);
    return kind != EntryKind::Other && filter == FOLDERS_ONLY;
}

// Reads one folder; returns false when max_count stopped the scan.
bool scan_entries(const std::string& folder, const Scan& scan, Collector& out,
                  std::vector<std::string>& subfolders) {
    const detail::DirHandle dir = detail::open_dir(folder);
    if (!dir)
        return true;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (detail::is_dot_or_dotdot(entry->d_name))
            continue;
        const std::string name = entry->d_name;
        const EntryKind kind = entry_kind(dir.get(), *entry);
        if (scan.recurse && kind == EntryKind::Folder)
            subfolders.push_back(folder + name + SEP);
        if (!wanted(kind, name, scan.filter))
            continue;
        out.add(folder + name);
        if (scan.max_count > 0 && out.count() >= static_cast<size_t>(scan.max_count))
            return false;
    }
    return true;
}

// The folders the scan is inside, by device and inode: a bind mount can show a folder
// inside itself, and entering it again would never end.
struct FolderId {
    dev_t device;
    ino_t inode;
    bool operator==(const FolderId&) const = default;
};

// A folder's own entries first, then each subfolder in the order met. Every subfolder
// call makes its own count test, so once the count is reached each later branch can
// still add its first name.
void scan_folder(const std::string& folder, const Scan& scan, Collector& out,
                 std::vector<FolderId>& inside) {
    struct stat st;
    if (!path_usable(folder) || ::stat(folder.c_str(), &st) != 0)
        return;
    const FolderId id{st.st_dev, st.st_ino};
    if (std::find(inside.begin(), inside.end(), id) != inside.end())
        return;
    std::vector<std::string> subfolders;
    if (!scan_entries(folder, scan, out, subfolders))
        return;
    inside.push_back(id);
    for (const std::string& subfolder : subfolders)
        scan_folder(subfolder, scan, out, inside);
    inside.pop_back();
}

void scan_tree(const std::string& folder, const Scan& scan, Collector& out) {
    std::vector<FolderId> inside;
    scan_folder(add_trailing_separator(folder), scan, out, inside);
}

Scan make_scan(const std::string& filter, bool recurse, int max_count) {
    return Scan{to_lower(filter), recurse, max_count};
}

} // namespace

void list_files(const std::string& folder, std::vector<std::string>& result,
                const std::string& filter, bool recurse, const std::string& /*separator*/,
                int max_count) {
    ListCollector out(result);
    scan_tree(folder, make_scan(filter, recurse, max_count), out);
}

void list_files(const std::string& folder, std::string& result, const std::string& filter,
                bool recurse, const std::string& separator, int max_count) {
    const std::string sep = separator.empty() ? std::string(1, CR) : separator;
    TextCollector out(result, sep);
    scan_tree(folder, make_scan(filter, recurse, max_count), out);
    out.finish();
}

} // namespace orvix
