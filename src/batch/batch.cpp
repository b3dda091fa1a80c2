#include "batch/batch.h"

#include "fs/fs.h"
#include "imaging/imaging.h"
#include "imaging/picture_layer.h"
#include "platform/dialogs.h"
#include "settings/language.h"
#include "text/text.h"

#include <algorithm>
#include <cerrno>

namespace orvix {

namespace {

constexpr size_t kMaxNamedFiles = 15;

} // namespace

size_t BatchResult::count(Outcome status) const {
    return static_cast<size_t>(
        std::count_if(outcomes.begin(), outcomes.end(),
                      [status](const FileOutcome& outcome) { return outcome.status == status; }));
}

BatchResult run_batch(size_t count, const std::function<FileOutcome(size_t index)>& operation,
                      BatchSink& sink) {
    BatchResult result;
    result.outcomes.reserve(count);
    sink.batch_started(count);
    for (size_t i = 0; i < count; ++i) {
        if (sink.stop_requested()) {
            result.stopped = true;
            break;
        }
        result.outcomes.push_back(operation(i));
        sink.file_done(i + 1, result.outcomes.back());
    }
    return result;
}

std::string_view reason_of_code(int32_t code) {
    switch (code) {
    case picture::kOpenFailed:
    case kSourceUnreadable:
        return "reason_unreadable";
    case picture::kUnknownFormat:
    case picture::kNoReader:
    case picture::kCoderRefused:
    case kTargetUnsupported:
        return "reason_format";
    case picture::kHeaderInvalid:
    case picture::kDecodeFailed:
    case picture::kTransformFailed:
        return "reason_damaged";
    case picture::kEmptyPicture:
    case picture::kTooLarge:
    case picture::kOutOfMemory:
        return "reason_too_large";
    case picture::kCreateFailed:
    case picture::kWriteFailed:
    case picture::kEncodeFailed:
        return "reason_write";
    default:
        return "reason_other";
    }
}

std::string_view reason_of_errno(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return "reason_read_only";
    case ENOENT:
        return "reason_gone";
    case ENOSPC:
    case EDQUOT:
        return "reason_full";
    default:
        return "reason_other";
    }
}

std::string reason_text(const FileOutcome& outcome, const LanguageTable& language) {
    if (!outcome.reason_key.empty())
        return language.translate(outcome.reason_key);
    const std::string_view key = outcome.system_error != 0 ? reason_of_errno(outcome.system_error)
                                                           : reason_of_code(outcome.code);
    const int number = outcome.system_error != 0 ? outcome.system_error : outcome.code;
    return Remplacer("#1", std::to_string(number), language.translate(std::string(key)));
}

void report_failures(const std::vector<FileOutcome>& outcomes, std::string_view heading_key,
                     const LanguageTable& language, Dialogs& dialogs) {
    std::string lines;
    size_t named = 0, failed = 0;
    for (const FileOutcome& outcome : outcomes) {
        if (outcome.status != Outcome::Failed)
            continue;
        if (++failed > kMaxNamedFiles)
            continue;
        ++named;
        lines += std::string(CRLF) + file_name(outcome.path, true) + ": " +
                 reason_text(outcome, language);
    }
    if (failed == 0)
        return;
    if (failed > named)
        lines += std::string(CRLF) + "...";
    const std::string text = Remplacer(
        "#1", lines, Remplacer("<BR>", CRLF, language.translate(std::string(heading_key))));
    dialogs.message_box(text, application_title, Icon::Exclamation);
}

} // namespace orvix
