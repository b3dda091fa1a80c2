// The job runner with a bare event loop: boxes answered on the window's thread, stops
// read between steps, and every way out of a job ending the run.
#include "runner/job_runner.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

namespace orvix {
namespace {

QCoreApplication& event_loop() {
    static int argc = 1;
    static char name[] = "test_runner";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// Runs the window's event loop until done() or a generous deadline.
bool spin_until(const std::function<bool()>& done) {
    QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// Answers from a script and notes on which thread each box was shown.
class ThreadNotingDialogs final : public Dialogs {
public:
    Answer message_box(const std::string& text, const std::string&, Icon, Buttons) override {
        threads.push_back(std::this_thread::get_id());
        texts.push_back(text);
        return Answer::No;
    }
    std::optional<std::string> input_box(const std::string& prompt, const std::string&,
                                         const std::string& default_answer) override {
        threads.push_back(std::this_thread::get_id());
        texts.push_back(prompt);
        return default_answer + "!";
    }
    CheckedInput checked_input_box(const std::string& prompt, const std::string&,
                                   const std::string& default_answer,
                                   const std::string& check_text) override {
        threads.push_back(std::this_thread::get_id());
        texts.push_back(prompt + " " + check_text);
        return {default_answer + "?", true};
    }

    std::vector<std::thread::id> threads;
    std::vector<std::string> texts;
};

class Runner : public ::testing::Test {
protected:
    Runner() { event_loop(); }

    // Starts job and waits for its end.
    JobEnd run(Job job) {
        std::optional<JobEnd> ended;
        EXPECT_TRUE(m_runner.start(std::move(job), m_dialogs, [&](const JobEnd& end) {
            EXPECT_FALSE(m_runner.running()) << "idle again when told of the end";
            ended = end;
        }));
        EXPECT_TRUE(m_runner.running());
        EXPECT_TRUE(spin_until([&] { return ended.has_value(); }));
        return ended.value_or(JobEnd{true, "never ended"});
    }

    ThreadNotingDialogs m_dialogs;
    JobRunner m_runner;
};

TEST_F(Runner, AQuestionFromTheWorkerIsAnsweredOnTheWindowsThread) {
    std::thread::id worker;
    Answer answer = Answer::Ok;
    std::optional<std::string> typed;
    CheckedInput checked;
    const JobEnd end = run([&](JobContext& job) {
        worker = std::this_thread::get_id();
        answer = job.dialogs().message_box("Keep going?", "Orvix", Icon::Question, Buttons::YesNo);
        typed = job.dialogs().input_box("Name?", "Twins !!!", "IMG");
        checked = job.dialogs().checked_input_box("Again?", "Twins !!!", "IMG", "Same for all");
    });
    EXPECT_FALSE(end.failed);
    EXPECT_NE(worker, std::this_thread::get_id());
    EXPECT_EQ(m_dialogs.threads, std::vector<std::thread::id>(3, std::this_thread::get_id()));
    EXPECT_EQ(m_dialogs.texts,
              (std::vector<std::string>{"Keep going?", "Name?", "Again? Same for all"}));
    // The worker waited for each answer, the check box's state with it.
    EXPECT_EQ(answer, Answer::No);
    EXPECT_EQ(typed, "IMG!");
    EXPECT_EQ(checked.text, "IMG?");
    EXPECT_TRUE(checked.checked);
}

TEST_F(Runner, AStopIsReadBetweenSteps) {
    std::vector<int> shown; // what the window was told, on its thread
    int steps = 0;
    const JobEnd end = run([&](JobContext& job) {
        for (int step = 1; step <= 1000 && !job.stop_requested(); ++step) {
            ++steps;
            job.on_window([&, step] {
                shown.push_back(step);
                if (step == 3)
                    m_runner.request_stop();
            });
        }
    });
    EXPECT_FALSE(end.failed);
    EXPECT_EQ(steps, 3) << "the step in hand ends, no other starts";
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(m_runner.stop_requested()) << "the next job starts afresh";
}

TEST_F(Runner, EveryWayOutOfAJobEndsTheRunAfterItsPosts) {
    struct Case {
        const char* label;
        std::function<void()> last_step;
        bool failed;
        std::string error;
    };
    const Case cases[] = {
        {"early return", [] {}, false, ""},
        {"exception", [] { throw std::runtime_error("disk on fire"); }, true, "disk on fire"},
        {"something else thrown", [] { throw 42; }, true, "unknown exception"},
        {"exception from the window's side", nullptr, true, "window refused"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<std::string> window; // posts, in the order the window ran them
        const JobEnd end = run([&](JobContext& job) {
            for (int i = 0; i < 50; ++i)
                job.post([&window, i] { window.push_back(std::to_string(i)); });
            if (!c.last_step)
                job.on_window([] { throw std::runtime_error("window refused"); });
            else
                c.last_step();
            job.post([&window] { window.push_back("never"); });
        });
        EXPECT_EQ(end.failed, c.failed);
        EXPECT_EQ(end.error, c.error);
        ASSERT_GE(window.size(), 50u) << "every post ran before the end was told";
        EXPECT_EQ(window[49], "49");
        EXPECT_EQ(window.size() == 51, !c.failed);
    }
    EXPECT_FALSE(m_runner.running());
}

TEST_F(Runner, OneJobAtATime) {
    std::atomic<bool> release = false;
    std::optional<JobEnd> ended;
    ASSERT_TRUE(m_runner.start(
        [&](JobContext&) {
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        },
        m_dialogs, [&](const JobEnd& end) { ended = end; }));
    EXPECT_FALSE(m_runner.start([](JobContext&) {}, m_dialogs, nullptr));
    release = true;
    EXPECT_TRUE(spin_until([&] { return ended.has_value(); }));
}

TEST(RunnerShutdown, ARunnerGoingAwayAnswersItsJobsQuestionsWithoutShowingThem) {
    event_loop();
    ThreadNotingDialogs dialogs;
    std::optional<std::string> typed = "unset";
    Answer answer = Answer::Ok;
    bool asked_stop = false;
    bool ended = false;
    {
        JobRunner runner;
        runner.start(
            [&](JobContext& job) {
                // The window never turns to its event loop again: these must not hang.
                typed = job.dialogs().input_box("Name?", "", "IMG");
                answer = job.dialogs().message_box("Sure?", "", Icon::Question, Buttons::YesNo);
                asked_stop = job.stop_requested();
                job.post([] { ADD_FAILURE() << "a post ran after the runner went"; });
            },
            dialogs, [&](const JobEnd&) { ended = true; });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(typed, std::nullopt);
    EXPECT_EQ(answer, Answer::Cancel);
    EXPECT_TRUE(asked_stop);
    EXPECT_TRUE(dialogs.threads.empty());
    EXPECT_FALSE(ended) << "nobody is left to tell";
}

} // namespace
} // namespace orvix
