#include "common/HThread.h"

#include <cstring>
#include <deque>

#include "common/OrvalenDebugLog.h"

#define THREAD_LOG(function, ...) \
    ORVALEN_CONSOLE_LOG("OrvalenThread", LEVEL_INFO, function, __VA_ARGS__)

namespace Orvalen {

namespace {

// The queue and the stop flag are only touched under gQueueMutex, so no worker
// can miss the stop broadcast between testing the flag and waiting.
pthread_mutex_t gQueueMutex = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t gQueueCond = PTHREAD_COND_INITIALIZER;
std::deque<_Thread*> gTasks;
bool gStop = false;

// Serialises create and StopAll, which both test and replace the singleton.
pthread_mutex_t gLifecycleMutex = PTHREAD_MUTEX_INITIALIZER;
ThreadPool* gPool = nullptr;

class Lock {
public:
    explicit Lock(pthread_mutex_t& mutex) : mMutex(mutex) { pthread_mutex_lock(&mMutex); }
    ~Lock() { pthread_mutex_unlock(&mMutex); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    pthread_mutex_t& mMutex;
};

}  // namespace

ThreadPool::ThreadPool(int32_t threadCount) : mThreadCount(threadCount < 1 ? 1 : threadCount) {
    THREAD_LOG("ThreadPool::ThreadPool", "I will create %d threads", mThreadCount);
    {
        Lock lock(gQueueMutex);
        gStop = false;
    }
    mThreads.reserve(mThreadCount);
    for (int32_t i = 0; i < mThreadCount; ++i) {
        pthread_t thread;
        const int error = pthread_create(&thread, nullptr, &ThreadPool::ThreadFunc, nullptr);
        if (error != 0) {
            THREAD_LOG("ThreadPool::ThreadPool", "thread %d not started: %s", i,
                       std::strerror(error));
            continue;
        }
        mThreads.push_back(thread);
    }
}

ThreadPool::~ThreadPool() {
    Lock lock(gQueueMutex);
    gStop = false;
}

ThreadPool* ThreadPool::create(int32_t threadCount) {
    Lock lock(gLifecycleMutex);
    if (!gPool) gPool = new ThreadPool(threadCount);
    return gPool;
}

int32_t ThreadPool::AddTask(_Thread* task) {
    if (!task) return -1;
    {
        Lock lock(gQueueMutex);
        gTasks.push_back(task);
    }
    pthread_cond_signal(&gQueueCond);
    return 0;
}

bool ThreadPool::isStopping() {
    Lock lock(gQueueMutex);
    return gStop;
}

void* ThreadPool::ThreadFunc(void*) {
    for (;;) {
        _Thread* task;
        {
            Lock lock(gQueueMutex);
            while (gTasks.empty() && !gStop) pthread_cond_wait(&gQueueCond, &gQueueMutex);
            if (gStop) break;
            task = gTasks.front();
            gTasks.pop_front();
        }
        task->Run(task->mArg);
    }
    THREAD_LOG("ThreadPool::ThreadFunc", "thread %lu will exit",
               static_cast<unsigned long>(pthread_self()));
    return nullptr;
}

void ThreadPool::StopAll() {
    Lock lifecycle(gLifecycleMutex);
    if (!gPool) return;

    THREAD_LOG("ThreadPool::StopAll", "Now I will end all threads!!");
    {
        Lock lock(gQueueMutex);
        gStop = true;
    }
    pthread_cond_broadcast(&gQueueCond);
    for (pthread_t thread : gPool->mThreads) pthread_join(thread, nullptr);

    std::deque<_Thread*> neverRun;
    {
        Lock lock(gQueueMutex);
        neverRun.swap(gTasks);
    }
    for (_Thread* task : neverRun) delete task;

    delete gPool;
    gPool = nullptr;
}

}  // namespace Orvalen
