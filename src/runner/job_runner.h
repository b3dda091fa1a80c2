// Long work off the window's thread. A job runs on a worker thread; every box it asks for
// through its dialogs is shown on the window's thread, modal, while the job waits for the
// answer; what it wants the window to show it posts there; a stop request is a flag the
// job reads between its steps. The work itself (the transfer, the edit commands) stays
// free of Qt and of threads: the job adapts it.
#pragma once

#include "platform/dialogs.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>

class QThread;

namespace orvix {

class JobChannel;

// What a job sees of the window's thread.
class JobContext {
public:
    JobContext(std::shared_ptr<JobChannel> channel, Dialogs& window_dialogs);
    ~JobContext();
    JobContext(const JobContext&) = delete;
    JobContext& operator=(const JobContext&) = delete;

    // The window's boxes, asked from the worker. Once the runner is gone, a box is not
    // shown: message boxes answer Cancel and input boxes are cancelled.
    Dialogs& dialogs();
    // True once the window asked the job to stop; read between steps.
    bool stop_requested() const;
    // Runs work on the window's thread and waits for it; an exception it throws is thrown
    // again here. False, work not run, once the runner is gone.
    bool on_window(const std::function<void()>& work);
    // Hands work to the window's thread without waiting. Posts run in their order, and
    // every one before the window learns that the job ended.
    void post(std::function<void()> work);

private:
    std::shared_ptr<JobChannel> m_channel;
    std::unique_ptr<Dialogs> m_dialogs;
};

// How a job ended: failed when it threw, with what it threw.
struct JobEnd {
    bool failed = false;
    std::string error;
};

using Job = std::function<void(JobContext&)>;

// Lives on the window's thread and runs one job at a time.
class JobRunner : public QObject {
public:
    explicit JobRunner(QObject* parent = nullptr);
    // Asks the running job to stop and waits for it; boxes it asks meanwhile are not shown.
    // Must not be called from inside a box or a piece of work of its own job.
    ~JobRunner() override;

    // Starts job on a worker thread; its boxes go to window_dialogs, which must outlive
    // the job. on_end runs on the window's thread after the job returned or threw, once
    // its posts have run; the runner is idle again by then, so on_end may start another
    // job. False, nothing started, while a job runs.
    bool start(Job job, Dialogs& window_dialogs, std::function<void(const JobEnd&)> on_end);
    bool running() const { return m_thread != nullptr; }
    // The job reads the request between its steps; nothing is interrupted.
    void request_stop();
    bool stop_requested() const;

private:
    void finish(const JobEnd& end);

    std::shared_ptr<JobChannel> m_channel;
    std::unique_ptr<QThread> m_thread;
    std::function<void(const JobEnd&)> m_on_end;
};

} // namespace orvix
