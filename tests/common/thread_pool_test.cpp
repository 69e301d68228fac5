#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/HThread.h"

using namespace Orvalen;

namespace {

// Generous bound that only keeps a broken pool from hanging the suite.
constexpr auto kPatience = std::chrono::seconds(60);

size_t countOf(const std::string& text, const std::string& word) {
    size_t count = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++count;
    return count;
}

// What the test tasks did, shared with the test body.
struct Board {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> started;
    std::vector<int> finished;
    std::set<std::thread::id> threads;
    int deleted = 0;
    std::vector<bool> released;

    explicit Board(size_t gates = 0) : released(gates, false) {}

    bool waitUntil(const std::function<bool()>& done) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kPatience, done);
    }
    void release(size_t gate) {
        std::lock_guard<std::mutex> lock(mutex);
        released[gate] = true;
        changed.notify_all();
    }
    void releaseAll() {
        std::lock_guard<std::mutex> lock(mutex);
        std::fill(released.begin(), released.end(), true);
        changed.notify_all();
    }
};

// Records its run; a gated task holds its worker until the test releases it.
class BoardTask : public _Thread {
public:
    BoardTask(Board& board, int id, bool gated) : mBoard(board), mId(id), mGated(gated) {}
    ~BoardTask() override {
        std::lock_guard<std::mutex> lock(mBoard.mutex);
        ++mBoard.deleted;
        mBoard.changed.notify_all();
    }

    void Run(void*) override {
        std::unique_lock<std::mutex> lock(mBoard.mutex);
        mBoard.started.push_back(mId);
        mBoard.threads.insert(std::this_thread::get_id());
        mBoard.changed.notify_all();
        if (mGated) mBoard.changed.wait(lock, [this] { return mBoard.released[mId]; });
        mBoard.finished.push_back(mId);
        mBoard.changed.notify_all();
        lock.unlock();
        delete this;
    }

private:
    Board& mBoard;
    int mId;
    bool mGated;
};

class ThreadPoolTest : public testing::Test {
protected:
    void TearDown() override { ThreadPool::StopAll(); }
};

}  // namespace

TEST_F(ThreadPoolTest, OneTaskRunsOnceOnAWorker) {
    ThreadPool::create(6);
    Board board;
    EXPECT_EQ(ThreadPool::AddTask(new BoardTask(board, 0, false)), 0);
    ASSERT_TRUE(board.waitUntil([&] { return board.deleted == 1; }));
    EXPECT_EQ(board.started, std::vector<int>{0});
    EXPECT_EQ(board.threads.count(std::this_thread::get_id()), 0u);
}

TEST_F(ThreadPoolTest, SixRunAtOnceAndTheSeventhStartsWhenTheFirstEnds) {
    ThreadPool::create(6);
    Board board(7);
    for (int id = 0; id < 7; ++id) ThreadPool::AddTask(new BoardTask(board, id, true));

    ASSERT_TRUE(board.waitUntil([&] { return board.started.size() == 6; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    {
        std::lock_guard<std::mutex> lock(board.mutex);
        EXPECT_EQ(board.started.size(), 6u);
        EXPECT_EQ(std::set<int>(board.started.begin(), board.started.end()),
                  (std::set<int>{0, 1, 2, 3, 4, 5}));
        EXPECT_EQ(board.threads.size(), 6u);
    }

    board.release(0);
    ASSERT_TRUE(board.waitUntil([&] { return board.started.size() == 7; }));
    {
        std::lock_guard<std::mutex> lock(board.mutex);
        EXPECT_EQ(board.started.back(), 6);
        EXPECT_EQ(board.finished, std::vector<int>{0});
    }
    board.releaseAll();
    ASSERT_TRUE(board.waitUntil([&] { return board.deleted == 7; }));
}

TEST_F(ThreadPoolTest, StopAllWaitsForRunningTasksAndDeletesQueuedOnes) {
    ThreadPool::create(6);
    Board board(8);
    for (int id = 0; id < 6; ++id) ThreadPool::AddTask(new BoardTask(board, id, true));
    ASSERT_TRUE(board.waitUntil([&] { return board.started.size() == 6; }));
    ThreadPool::AddTask(new BoardTask(board, 6, false));
    ThreadPool::AddTask(new BoardTask(board, 7, false));

    testing::internal::CaptureStdout();
    std::thread stopper([] { ThreadPool::StopAll(); });
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!ThreadPool::isStopping() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    ASSERT_TRUE(ThreadPool::isStopping());
    {
        std::lock_guard<std::mutex> lock(board.mutex);
        EXPECT_TRUE(board.finished.empty());
    }
    board.releaseAll();
    stopper.join();
    const std::string out = testing::internal::GetCapturedStdout();

    EXPECT_FALSE(ThreadPool::isStopping());
    EXPECT_EQ(board.finished.size(), 6u);
    EXPECT_EQ(board.started.size(), 6u);
    EXPECT_EQ(board.deleted, 8);
    EXPECT_EQ(countOf(out, "Now I will end all threads!!"), 1u);
    EXPECT_EQ(countOf(out, " will exit"), 6u);
}

TEST_F(ThreadPoolTest, SecondCreateReturnsTheFirstPool) {
    testing::internal::CaptureStdout();
    ThreadPool* first = ThreadPool::create(2);
    ThreadPool* second = ThreadPool::create(6);
    ThreadPool::StopAll();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(first, second);
    EXPECT_EQ(countOf(out, "I will create"), 1u);
    EXPECT_NE(out.find("[OrvalenThread][\x1b[34mInfo]HThread.cpp::ThreadPool::ThreadPool:["),
              std::string::npos);
    EXPECT_NE(out.find("I will create 2 threads"), std::string::npos);
    EXPECT_EQ(countOf(out, " will exit"), 2u);
}

TEST_F(ThreadPoolTest, StopAllWithoutAPoolDoesNothing) {
    testing::internal::CaptureStdout();
    ThreadPool::StopAll();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(ThreadPoolTest, TaskAddedBeforeAnyPoolRunsOnTheNextOne) {
    Board board;
    EXPECT_EQ(ThreadPool::AddTask(nullptr), -1);
    ThreadPool::AddTask(new BoardTask(board, 0, false));
    ThreadPool::create(1);
    ASSERT_TRUE(board.waitUntil([&] { return board.deleted == 1; }));
    EXPECT_EQ(board.finished, std::vector<int>{0});
}
