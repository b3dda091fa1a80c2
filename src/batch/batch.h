// Work on many pictures, one road for all of it: an operation runs on each file of a list
// in turn, the stop flag is read between files, and every file ends with an outcome that
// says what happened to it. The transfer, the edit commands and the mail preparation are
// such operations; whoever runs them decides where (in line, or beside the window) and
// reports the failures through report_failures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvix {

class Dialogs;
class LanguageTable;

enum class Outcome {
    Done,      // the file was dealt with
    Unchanged, // there was nothing to do for it
    Skipped,   // it was not the operation's to touch (no record behind a grid item)
    Failed,    // it could not be dealt with; it is as it was
};

// What happened to one file. A failure carries one of: the language key of its reason, a
// system error, or a library's result code, in that order of precedence.
struct FileOutcome {
    std::string path;
    Outcome status = Outcome::Done;
    int32_t code = 0;       // a library's result code (the imaging module's), 0 for none
    int system_error = 0;   // errno, 0 for none
    std::string reason_key; // a language key, "" for none

    static FileOutcome of(std::string path, Outcome status) {
        FileOutcome outcome;
        outcome.path = std::move(path);
        outcome.status = status;
        return outcome;
    }
    static FileOutcome done(std::string path) { return of(std::move(path), Outcome::Done); }
    static FileOutcome failed_with_code(std::string path, int32_t code) {
        FileOutcome outcome = of(std::move(path), Outcome::Failed);
        outcome.code = code;
        return outcome;
    }
    static FileOutcome failed_with_errno(std::string path, int error) {
        FileOutcome outcome = of(std::move(path), Outcome::Failed);
        outcome.system_error = error;
        return outcome;
    }
    static FileOutcome failed_because(std::string path, std::string reason_key) {
        FileOutcome outcome = of(std::move(path), Outcome::Failed);
        outcome.reason_key = std::move(reason_key);
        return outcome;
    }
};

// Where a batch reports, and where it learns that it should stop.
class BatchSink {
public:
    virtual ~BatchSink() = default;
    // Before the first file.
    virtual void batch_started(size_t total) { (void)total; }
    // After each file: how many are done so far, and what became of this one.
    virtual void file_done(size_t done, const FileOutcome& outcome) {
        (void)done;
        (void)outcome;
    }
    // Read before each file: true ends the batch there, after the file in hand.
    virtual bool stop_requested() const { return false; }
};

struct BatchResult {
    std::vector<FileOutcome> outcomes; // one a file dealt with, in the order of the list
    bool stopped = false;              // a stop was asked before the last file

    size_t count(Outcome status) const;
};

// Runs operation on files 0 to count - 1 in order. Before each file it asks the sink
// whether to stop; the files after a stop are not touched and have no outcome. An
// exception from operation ends the batch and goes to the caller.
BatchResult run_batch(size_t count, const std::function<FileOutcome(size_t index)>& operation,
                      BatchSink& sink);

// The language key of the reason for an imaging result code (the picture layer's codes and
// the conversion's own).
std::string_view reason_of_code(int32_t code);
// The language key of the reason for a system error.
std::string_view reason_of_errno(int error);

// A failure's reason in the program's language.
std::string reason_text(const FileOutcome& outcome, const LanguageTable& language);

// One box naming every failed file and its reason, a line each ("name: reason"), under
// the text of heading_key (its "#1" replaced by the lines, "<BR>" by a line break); nothing
// when nothing failed. A long list ends after a few names so the box stays on the screen.
void report_failures(const std::vector<FileOutcome>& outcomes, std::string_view heading_key,
                     const LanguageTable& language, Dialogs& dialogs);

} // namespace orvix
