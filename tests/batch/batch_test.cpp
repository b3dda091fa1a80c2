#include "batch/batch.h"

#include "imaging/imaging.h"
#include "imaging/picture_layer.h"
#include "platform/dialogs.h"
#include "settings/language.h"
#include "settings/prefs.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace orvix {
namespace {

// A sink that asks to stop once `stop_after` files are done, and remembers what it saw.
class CountingSink : public BatchSink {
public:
    explicit CountingSink(size_t stop_after = SIZE_MAX) : m_stop_after(stop_after) {}
    void batch_started(size_t total) override { started_with = total; }
    void file_done(size_t done, const FileOutcome& outcome) override {
        progress.push_back(done);
        paths.push_back(outcome.path);
    }
    bool stop_requested() const override { return progress.size() >= m_stop_after; }

    size_t started_with = 0;
    std::vector<size_t> progress;
    std::vector<std::string> paths;

private:
    size_t m_stop_after;
};

FileOutcome operation_on(size_t index, std::vector<size_t>& touched) {
    touched.push_back(index);
    return index % 2 ? FileOutcome::failed_with_code("f" + std::to_string(index), 4)
                     : FileOutcome::done("f" + std::to_string(index));
}

TEST(RunBatch, EveryFileInOrderWithItsOutcomeAndProgress) {
    CountingSink sink;
    std::vector<size_t> touched;
    const BatchResult result = run_batch(
        4, [&](size_t i) { return operation_on(i, touched); }, sink);
    EXPECT_EQ(touched, (std::vector<size_t>{0, 1, 2, 3}));
    EXPECT_FALSE(result.stopped);
    ASSERT_EQ(result.outcomes.size(), 4u);
    EXPECT_EQ(result.count(Outcome::Done), 2u);
    EXPECT_EQ(result.count(Outcome::Failed), 2u);
    EXPECT_EQ(result.outcomes[3].code, 4);
    EXPECT_EQ(sink.started_with, 4u);
    EXPECT_EQ(sink.progress, (std::vector<size_t>{1, 2, 3, 4}));
    EXPECT_EQ(sink.paths, (std::vector<std::string>{"f0", "f1", "f2", "f3"}));
}

TEST(RunBatch, AStopEndsAfterTheFileInHandAndTouchesNothingAfter) {
    for (const size_t stop_after : {0u, 2u, 3u}) {
        SCOPED_TRACE(stop_after);
        CountingSink sink(stop_after);
        std::vector<size_t> touched;
        const BatchResult result = run_batch(
            3, [&](size_t i) { return operation_on(i, touched); }, sink);
        EXPECT_EQ(touched.size(), stop_after);
        EXPECT_EQ(result.outcomes.size(), stop_after);
        // A stop asked after the last file stopped nothing.
        EXPECT_EQ(result.stopped, stop_after < 3);
    }
}

TEST(RunBatch, AnExceptionEndsTheBatchAndReachesTheCaller) {
    CountingSink sink;
    std::vector<size_t> touched;
    EXPECT_THROW(run_batch(
                     3,
                     [&](size_t i) -> FileOutcome {
                         if (i == 1)
                             throw std::runtime_error("broken");
                         return operation_on(i, touched);
                     },
                     sink),
                 std::runtime_error);
    EXPECT_EQ(touched, std::vector<size_t>{0});
}

// The shipped language files, as the program reads them.
LanguageTable shipped(const char* file) {
    const char* source = std::getenv("ORVIX_SOURCE_DIR");
    LanguageTable table;
    if (source)
        table.parse_language_text(
            read_text_file(std::string(source) + "/resources/extra/languages/" + file, false));
    return table;
}

TEST(ReportFailures, NamesEachFailedPictureWithItsReasonInTheProgramsLanguage) {
    const std::vector<FileOutcome> outcomes = {
        FileOutcome::done("/p/fine.jpg"),
        FileOutcome::failed_with_code("/p/broken.jpg", picture::kDecodeFailed),
        FileOutcome::of("/p/same.jpg", Outcome::Unchanged),
        FileOutcome::failed_with_errno("/p/locked.jpg", EACCES),
        FileOutcome::failed_because("/p/gone.jpg", "reason_gone"),
        FileOutcome::failed_with_code("/p/odd.jpg", -9999),
    };
    struct Case {
        const char* file;
        const char* expected;
    };
    for (const Case& c :
         {Case{"ENGLISH.LNG", "These pictures could not be changed; each is as it was:\r\n"
                              "\r\nbroken.jpg: the picture is damaged"
                              "\r\nlocked.jpg: the file is protected against changes"
                              "\r\ngone.jpg: the file is no longer there"
                              "\r\nodd.jpg: error -9999"},
          Case{"FRENCH.LNG", "Ces images n'ont pas pu être modifiées ; chacune est restée telle "
                             "quelle :\r\n"
                             "\r\nbroken.jpg: l'image est endommagée"
                             "\r\nlocked.jpg: le fichier est protégé contre les modifications"
                             "\r\ngone.jpg: le fichier n'existe plus"
                             "\r\nodd.jpg: erreur -9999"}}) {
        SCOPED_TRACE(c.file);
        const LanguageTable language = shipped(c.file);
        ASSERT_NE(language.translate("edit_failed"), "") << "ORVIX_SOURCE_DIR is not set";
        ScriptedDialogs dialogs;
        report_failures(outcomes, "edit_failed", language, dialogs);
        ASSERT_EQ(dialogs.messages().size(), 1u);
        EXPECT_EQ(dialogs.messages()[0].text, c.expected);
        EXPECT_EQ(dialogs.messages()[0].title, application_title);
        EXPECT_EQ(dialogs.messages()[0].icon, Icon::Exclamation);
    }
}

TEST(ReportFailures, SaysNothingWithoutAFailureAndCutsALongList) {
    const LanguageTable language = shipped("ENGLISH.LNG");
    ScriptedDialogs dialogs;
    report_failures({FileOutcome::done("a.jpg"), FileOutcome::of("b.jpg", Outcome::Skipped)},
                    "edit_failed", language, dialogs);
    EXPECT_TRUE(dialogs.messages().empty());

    std::vector<FileOutcome> many;
    for (int i = 0; i < 40; ++i)
        many.push_back(FileOutcome::failed_with_errno("/p/" + std::to_string(i) + ".jpg", ENOSPC));
    report_failures(many, "edit_failed", language, dialogs);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    const std::string& text = dialogs.messages()[0].text;
    EXPECT_NE(text.find("14.jpg: the disk is full"), std::string::npos);
    EXPECT_EQ(text.find("15.jpg"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\r\n...")) << text;
}

TEST(Reasons, EveryImagingCodeAndCommonErrorHasAReasonOfItsOwn) {
    for (const int32_t code :
         {int32_t{picture::kOpenFailed}, int32_t{picture::kUnknownFormat},
          int32_t{picture::kHeaderInvalid}, int32_t{picture::kDecodeFailed},
          int32_t{picture::kEmptyPicture}, int32_t{picture::kTooLarge},
          int32_t{picture::kOutOfMemory}, int32_t{picture::kEncodeFailed},
          int32_t{picture::kCreateFailed}, int32_t{picture::kWriteFailed},
          int32_t{picture::kCoderRefused}, int32_t{picture::kNoReader},
          int32_t{picture::kTransformFailed}, kSourceUnreadable, kTargetUnsupported})
        EXPECT_NE(reason_of_code(code), "reason_other") << code;
    for (const int error : {EACCES, EPERM, EROFS, ENOENT, ENOSPC, EDQUOT})
        EXPECT_NE(reason_of_errno(error), "reason_other") << error;
    EXPECT_EQ(reason_of_errno(EIO), "reason_other");
}

} // namespace
} // namespace orvix
