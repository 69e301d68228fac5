#pragma once

#include <pthread.h>

#include <cstdint>
#include <vector>

namespace Orvalen {

// A unit of work for the pool. The pool calls Run once on a worker thread and
// never touches the task afterwards: a task that ran deletes itself.
class _Thread {
public:
    virtual ~_Thread() = default;
    virtual void Run(void* arg) = 0;

    void* mArg = nullptr;  // handed to Run
};

// Process-wide pool with a fixed number of worker threads taking tasks first
// in, first out.
class ThreadPool {
public:
    virtual ~ThreadPool();

    // Returns the existing pool, or starts one with threadCount workers.
    static ThreadPool* create(int32_t threadCount);
    // Queues the task; it runs on the current pool, or on the next one created.
    // Returns 0, or -1 for no task.
    static int32_t AddTask(_Thread* task);
    // Waits for running tasks to end, stops the workers and deletes the pool.
    // Queued tasks that never ran are deleted.
    static void StopAll();
    // True from the start of StopAll until the workers have left, so that a
    // long task can end early.
    static bool isStopping();

private:
    explicit ThreadPool(int32_t threadCount);
    static void* ThreadFunc(void* arg);

    int32_t mThreadCount;
    std::vector<pthread_t> mThreads;  // the workers that did start
};

}  // namespace Orvalen
