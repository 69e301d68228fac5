#pragma once

// Callback and log sink that record what the backend client reports, safe to
// call from the download pool's threads.

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "OrvalenBackendServer/OrvalenDownloadManager.h"

namespace testsupport {

class DownloadRecorder : public Orvalen::IOrvalenDownloadCallback {
public:
    void onDownloading(double percent, const std::string& fileName) override;
    void onDownloadSpeed(double bytesPerSecond, const std::string& fileName) override;
    void onDownloadFinish(int32_t code, const std::string& fileName) override;

    // Waits for onDownloadFinish; false when it did not come in time.
    bool waitForFinish(int timeoutSeconds = 120);

    int32_t code();
    std::string fileName();
    int finishCount();
    std::vector<double> percents();
    std::vector<std::string> progressNames();
    int speedCount();

private:
    std::mutex mMutex;
    std::condition_variable mFinished;
    int32_t mCode = -1;
    std::string mFileName;
    int mFinishCount = 0;
    std::vector<double> mPercents;
    std::vector<std::string> mProgressNames;
    int mSpeedCount = 0;
};

class RecordingLog : public Orvalen::IOrvalenDebugLog {
public:
    void printLog(int level, const char* format, ...) override ORVALEN_PRINTF_FORMAT(3, 4);

    bool contains(const std::string& text);
    std::vector<int> levels();
    std::vector<std::string> messages();
    void clear();

private:
    std::mutex mMutex;
    std::vector<int> mLevels;
    std::vector<std::string> mMessages;
};

// One log for the whole test program: the library's module sinks may still
// point at it after a test, so it never goes away.
RecordingLog& sharedTestLog();

}  // namespace testsupport
