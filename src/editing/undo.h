// What the last edit command changed, kept so that it can be taken back: before a command
// rewrites or deletes a picture, its file as it was goes into a private folder of the
// command's own (a hard link where the volume allows, else a copy). The folder lives until
// the next command that changes pictures, an undo, or the end of the program.
#pragma once

#include "fs/fs.h"
#include "session/pictures.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvix {

// One picture a command changed.
struct KeptPicture {
    int32_t item = 0;        // the grid item that showed it
    size_t record_index = 0; // where its record stood among the transferred pictures
    TransferredPicture record;
    std::string kept;     // its file as it was, in the command's folder
    bool deleted = false; // the command deleted it (to the trash or for good)
    // The picture as the command left it, to tell a change made since by someone else;
    // none for a deleted picture.
    std::optional<FileStatus> after;
};

// The pictures of one command as they were, in a private folder (mode 0700) that is
// removed with everything in it when the step goes.
class UndoStep {
public:
    // The folder is made in parent; folder() is "" when it could not be.
    explicit UndoStep(const std::string& parent);
    ~UndoStep();
    UndoStep(const UndoStep&) = delete;
    UndoStep& operator=(const UndoStep&) = delete;

    const std::string& folder() const { return m_folder; }
    // Keeps the picture as it stands now: the kept file's path, or "" with error set.
    std::string keep(const std::string& picture, int& error);
    // A kept picture the command changed: undo takes it back.
    void add(KeptPicture picture);
    // The kept file of a picture the command left as it was.
    void drop(const std::string& kept);
    const std::vector<KeptPicture>& pictures() const { return m_pictures; }

private:
    std::string m_folder;
    std::vector<KeptPicture> m_pictures;
    int m_names = 0;
};

// The step of the last command that changed pictures.
class UndoHistory {
public:
    // Each step's folder is made in parent (with a trailing separator).
    explicit UndoHistory(std::string parent) : m_parent(std::move(parent)) {}

    // A step for the next command; the last one stays until that command has changed a
    // picture.
    std::unique_ptr<UndoStep> begin() const;
    // The command has ended: a step that changed pictures replaces the last one (whose
    // folder goes); an empty one goes at once.
    void end(std::unique_ptr<UndoStep> step);
    bool available() const { return m_last != nullptr; }
    // The last step, for the undo; none is left.
    std::unique_ptr<UndoStep> take() { return std::move(m_last); }
    void clear() { m_last.reset(); }

private:
    std::string m_parent;
    std::unique_ptr<UndoStep> m_last;
};

// Whether the picture on disk is no longer as the command left it.
bool changed_since(const KeptPicture& picture);

} // namespace orvix
