// Work a caller hands off to run beside it, so that a long run can go on with its next
// step meanwhile (the thumbnails of a transfer are made while the next picture is copied).
// The caller decides what may run beside it; the queue only runs it.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orvix {

class TaskQueue {
public:
    virtual ~TaskQueue() = default;
    // Hands task over; it may run at once, later, or beside other tasks of the queue.
    virtual void post(std::function<void()> task) = 0;
    // Returns once every task posted so far has run. When tasks threw, the first exception
    // is thrown here (the other tasks still ran).
    virtual void wait() = 0;
};

// Runs each task at once on the caller's thread; exceptions wait for wait(), as they
// would on a worker.
class InlineTasks final : public TaskQueue {
public:
    void post(std::function<void()> task) override;
    void wait() override;

private:
    std::exception_ptr m_error;
};

// Runs the tasks on threads of its own. post blocks while max_pending tasks wait, so a
// slow consumer keeps the producer in step instead of piling work up. The destructor
// lets every posted task run, then ends the threads.
class WorkerTasks final : public TaskQueue {
public:
    explicit WorkerTasks(int threads = 1, int max_pending = 8);
    ~WorkerTasks() override;
    WorkerTasks(const WorkerTasks&) = delete;
    WorkerTasks& operator=(const WorkerTasks&) = delete;

    void post(std::function<void()> task) override;
    void wait() override;

    // One thread a core, at least one: the caller's own thread keeps a core busy too, but
    // it mostly waits for the disk.
    static int threads_for_this_machine();

private:
    void work();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_tasks;
    int m_running = 0;
    const size_t m_max_pending;
    bool m_closing = false;
    std::exception_ptr m_error;
    std::vector<std::thread> m_threads;
};

} // namespace orvix
