#include "Recorders.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>

namespace testsupport {

void DownloadRecorder::onDownloading(double percent, const std::string& fileName) {
    std::lock_guard<std::mutex> lock(mMutex);
    mPercents.push_back(percent);
    mProgressNames.push_back(fileName);
}

void DownloadRecorder::onDownloadSpeed(double, const std::string&) {
    std::lock_guard<std::mutex> lock(mMutex);
    ++mSpeedCount;
}

void DownloadRecorder::onDownloadFinish(int32_t code, const std::string& fileName) {
    std::lock_guard<std::mutex> lock(mMutex);
    mCode = code;
    mFileName = fileName;
    ++mFinishCount;
    mFinished.notify_all();
}

bool DownloadRecorder::waitForFinish(int timeoutSeconds) {
    std::unique_lock<std::mutex> lock(mMutex);
    return mFinished.wait_for(lock, std::chrono::seconds(timeoutSeconds),
                              [this] { return mFinishCount > 0; });
}

int32_t DownloadRecorder::code() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mCode;
}

std::string DownloadRecorder::fileName() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mFileName;
}

int DownloadRecorder::finishCount() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mFinishCount;
}

std::vector<double> DownloadRecorder::percents() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mPercents;
}

std::vector<std::string> DownloadRecorder::progressNames() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mProgressNames;
}

int DownloadRecorder::speedCount() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mSpeedCount;
}

void RecordingLog::printLog(int level, const char* format, ...) {
    char text[8192];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::lock_guard<std::mutex> lock(mMutex);
    mLevels.push_back(level);
    mMessages.push_back(text);
}

bool RecordingLog::contains(const std::string& text) {
    std::lock_guard<std::mutex> lock(mMutex);
    for (const std::string& message : mMessages) {
        if (message.find(text) != std::string::npos) return true;
    }
    return false;
}

std::vector<int> RecordingLog::levels() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mLevels;
}

std::vector<std::string> RecordingLog::messages() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mMessages;
}

void RecordingLog::clear() {
    std::lock_guard<std::mutex> lock(mMutex);
    mLevels.clear();
    mMessages.clear();
}

RecordingLog& sharedTestLog() {
    static RecordingLog* log = new RecordingLog();
    return *log;
}

}  // namespace testsupport
