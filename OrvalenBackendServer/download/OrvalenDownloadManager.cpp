#include "OrvalenBackendServer/OrvalenDownloadManager.h"

#include <curl/curl.h>

#include <mutex>

#include "OrvalenBackendServer/OrvalenStdoutLog.h"
#include "common/HThread.h"
#include "download/DownloadTask.h"
#include "protocol/OrvalenModuleLogs.h"

namespace Orvalen {

namespace {

std::mutex gInstanceMutex;
OrvalenDownloadManager* gInstance = nullptr;

constexpr int32_t kPoolThreads = 6;

}  // namespace

OrvalenDownloadManager* OrvalenDownloadManager::getInstance() {
    std::lock_guard<std::mutex> lock(gInstanceMutex);
    if (gInstance) return gInstance;
    gInstance = new OrvalenDownloadManager();
    downloadLog().setIfEmpty(gInstance);
    downloadLog().printLog(LEVEL_DEBUG, "call %s()",
                           "Orvalen::OrvalenDownloadManager::OrvalenDownloadManager");
    curl_global_init(CURL_GLOBAL_ALL);
    ThreadPool::create(kPoolThreads);
    return gInstance;
}

void OrvalenDownloadManager::destroyInstance() {
    std::lock_guard<std::mutex> lock(gInstanceMutex);
    if (!gInstance) return;
    ThreadPool::StopAll();
    curl_global_cleanup();
    delete gInstance;
    gInstance = nullptr;
}

void OrvalenDownloadManager::setDebugLog(IOrvalenDebugLog* sink) { downloadLog().set(sink); }

void OrvalenDownloadManager::releaseDebugLog(IOrvalenDebugLog* sink) {
    downloadLog().release(sink);
}

OrvalenDownloadManager::~OrvalenDownloadManager() {
    downloadLog().printLog(LEVEL_DEBUG, "call %s()",
                           "Orvalen::OrvalenDownloadManager::~OrvalenDownloadManager");
    downloadLog().release(this);
}

void OrvalenDownloadManager::printLog(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprintStdoutLog("OrvalenDownloadManager", level, format, args);
    va_end(args);
}

void OrvalenDownloadManager::addDownloadTask(
    const std::shared_ptr<OrvalenDownloadParameter>& parameter, const std::string& directory,
    IOrvalenDownloadCallback* callback, bool skipCertificateCheck, int32_t connectTimeoutSeconds,
    const std::string& caBundleFile) {
    ThreadPool::AddTask(new DownloadTask(parameter, directory, callback, skipCertificateCheck,
                                         connectTimeoutSeconds, caBundleFile));
}

}  // namespace Orvalen
