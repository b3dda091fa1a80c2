#include "runner/job_runner.h"

#include <QMetaObject>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>

namespace orvix {

// The state a job and its runner share. It outlives both: the worker may still hold it
// after the runner is gone, and the window's thread while it answers a box.
class JobChannel : public std::enable_shared_from_this<JobChannel> {
public:
    explicit JobChannel(QObject* window) : m_window(window) {}

    bool call(const std::function<void()>& work) {
        struct Call {
            bool done = false;
            std::exception_ptr error;
        };
        auto call = std::make_shared<Call>();
        std::unique_lock lock(m_mutex);
        if (m_abandoned)
            return false;
        // The work runs on the window's thread; the lock taken after it publishes what it
        // wrote to the waiting worker.
        QMetaObject::invokeMethod(
            m_window,
            [self = shared_from_this(), call, &work] {
                std::exception_ptr error;
                try {
                    work();
                } catch (...) {
                    error = std::current_exception();
                }
                {
                    const std::lock_guard done_lock(self->m_mutex);
                    call->done = true;
                    call->error = error;
                }
                self->m_changed.notify_all();
            },
            Qt::QueuedConnection);
        m_changed.wait(lock, [&] { return call->done || m_abandoned; });
        if (!call->done)
            return false;
        if (call->error)
            std::rethrow_exception(call->error);
        return true;
    }

    void post(std::function<void()> work) {
        // Posting under the lock: the runner cannot be gone between the check and the post,
        // and a runner that goes later drops what it did not run.
        const std::lock_guard lock(m_mutex);
        if (!m_abandoned)
            QMetaObject::invokeMethod(m_window, std::move(work), Qt::QueuedConnection);
    }

    void abandon() {
        {
            const std::lock_guard lock(m_mutex);
            m_abandoned = true;
        }
        m_changed.notify_all();
    }

    std::atomic<bool> stop{false};

private:
    QObject* m_window;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_abandoned = false;
};

namespace {

// The boxes of a job, each shown on the window's thread while the worker waits.
class WindowDialogs final : public Dialogs {
public:
    WindowDialogs(JobContext& context, Dialogs& target) : m_context(context), m_target(target) {}

    Answer message_box(const std::string& text, const std::string& title, Icon icon,
                       Buttons buttons) override {
        Answer answer = Answer::Cancel;
        m_context.on_window([&] { answer = m_target.message_box(text, title, icon, buttons); });
        return answer;
    }

    std::optional<std::string> input_box(const std::string& prompt, const std::string& title,
                                         const std::string& default_answer) override {
        std::optional<std::string> answer;
        m_context.on_window([&] { answer = m_target.input_box(prompt, title, default_answer); });
        return answer;
    }

    CheckedInput checked_input_box(const std::string& prompt, const std::string& title,
                                   const std::string& default_answer,
                                   const std::string& check_text) override {
        CheckedInput answer;
        m_context.on_window([&] {
            answer = m_target.checked_input_box(prompt, title, default_answer, check_text);
        });
        return answer;
    }

private:
    JobContext& m_context;
    Dialogs& m_target;
};

} // namespace

JobContext::JobContext(std::shared_ptr<JobChannel> channel, Dialogs& window_dialogs)
    : m_channel(std::move(channel)),
      m_dialogs(std::make_unique<WindowDialogs>(*this, window_dialogs)) {}

JobContext::~JobContext() = default;

Dialogs& JobContext::dialogs() {
    return *m_dialogs;
}

bool JobContext::stop_requested() const {
    return m_channel->stop;
}

bool JobContext::on_window(const std::function<void()>& work) {
    return m_channel->call(work);
}

void JobContext::post(std::function<void()> work) {
    m_channel->post(std::move(work));
}

JobRunner::JobRunner(QObject* parent) : QObject(parent) {}

JobRunner::~JobRunner() {
    if (m_channel) {
        m_channel->stop = true;
        m_channel->abandon();
    }
    if (m_thread)
        m_thread->wait();
}

bool JobRunner::start(Job job, Dialogs& window_dialogs, std::function<void(const JobEnd&)> on_end) {
    if (running())
        return false;
    m_channel = std::make_shared<JobChannel>(this);
    m_on_end = std::move(on_end);
    m_thread.reset(
        QThread::create([this, channel = m_channel, job = std::move(job), &window_dialogs] {
            JobEnd end;
            try {
                JobContext context(channel, window_dialogs);
                job(context);
            } catch (const std::exception& error) {
                end = {true, error.what()};
            } catch (...) {
                end = {true, "unknown exception"};
            }
            // The last post of the job: every earlier one has run when the window hears of it.
            channel->post([this, end] { finish(end); });
        }));
    m_thread->setObjectName(QStringLiteral("orvix job"));
    m_thread->start();
    return true;
}

void JobRunner::request_stop() {
    if (m_channel)
        m_channel->stop = true;
}

bool JobRunner::stop_requested() const {
    return m_channel && m_channel->stop;
}

void JobRunner::finish(const JobEnd& end) {
    m_thread->wait();
    m_thread.reset();
    m_channel.reset();
    const std::function<void(const JobEnd&)> on_end = std::move(m_on_end);
    m_on_end = nullptr;
    if (on_end)
        on_end(end);
}

} // namespace orvix
