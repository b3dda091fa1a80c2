#include "editing/undo.h"

#include <cerrno>
#include <utility>

namespace orvix {

UndoStep::UndoStep(const std::string& parent) : m_folder(make_private_folder(parent, "undo-")) {}

UndoStep::~UndoStep() {
    if (!m_folder.empty())
        clear_folder(m_folder, true, true);
}

std::string UndoStep::keep(const std::string& picture, int& error) {
    if (m_folder.empty()) {
        error = ENOENT;
        return "";
    }
    // A number for a name: the picture's own name could be too long with anything added.
    const std::string kept = m_folder + std::to_string(++m_names);
    error = keep_file(picture, kept);
    return error == 0 ? kept : "";
}

void UndoStep::add(KeptPicture picture) {
    m_pictures.push_back(std::move(picture));
}

void UndoStep::drop(const std::string& kept) {
    delete_file(kept, false, false);
}

std::unique_ptr<UndoStep> UndoHistory::begin() const {
    return std::make_unique<UndoStep>(m_parent);
}

void UndoHistory::end(std::unique_ptr<UndoStep> step) {
    if (step && !step->pictures().empty())
        m_last = std::move(step);
}

bool changed_since(const KeptPicture& picture) {
    const std::string& path = picture.record.picture_path;
    if (picture.deleted)
        return !nothing_at(path);
    const std::optional<FileStatus> now = file_status(path);
    const std::optional<FileStatus>& then = picture.after;
    return !now || !then || now->device != then->device || now->inode != then->inode ||
           now->size != then->size || now->mtime_sec != then->mtime_sec ||
           now->mtime_nsec != then->mtime_nsec;
}

} // namespace orvix
