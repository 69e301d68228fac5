#include "download/DownloadTask.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "common/OrvalenMd5.h"
#include "download/DownloadNaming.h"
#include "download/DownloadTransfer.h"
#include "protocol/OrvalenModuleLogs.h"

#define DL_LOG(level, ...) ::Orvalen::downloadLog().printLog(level, __VA_ARGS__)

namespace Orvalen {

namespace {

// Tasks creating the same directory levels at once would report each other's
// levels as failures.
std::mutex gDirectoryMutex;

std::string lowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// Failures of the transfer itself (no handle, network, HTTP status) may pass;
// the others would fail again the same way. Nothing is retried while the pool
// stops.
bool isRetried(int32_t result) {
    return (result == E_DOWNLOAD_NO_HANDLE || result == E_DOWNLOAD_TRANSFER_FAILED) &&
           !ThreadPool::isStopping();
}

}  // namespace

DownloadTask::DownloadTask(std::shared_ptr<OrvalenDownloadParameter> parameter,
                           const std::string& directory, IOrvalenDownloadCallback* callback,
                           bool skipCertificateCheck, int32_t connectTimeoutSeconds,
                           std::string caBundleFile)
    : mCallback(callback),
      mConnectTimeout(connectTimeoutSeconds),
      mSkipCertificateCheck(skipCertificateCheck),
      mCaBundleFile(std::move(caBundleFile)),
      mParameter(std::move(parameter)) {
    if (!directory.empty()) mDirectory = directory;
}

DownloadTask::~DownloadTask() {
    DL_LOG(LEVEL_DEBUG, "%s exit", "Orvalen::DownloadTask::~DownloadTask");
}

void DownloadTask::finish(int32_t code, const std::string& fileName) {
    if (mCallback) mCallback->onDownloadFinish(code, fileName);
}

int32_t DownloadTask::download(const std::string& url, const std::string& localPath,
                               int32_t connectTimeoutSeconds) {
    const DownloadRequest request{url,
                                  localPath,
                                  mFileName,
                                  mFileSize,
                                  connectTimeoutSeconds,
                                  mTimeLimitBaseSeconds,
                                  mMinimumBytesPerSecond,
                                  OrvalenTlsOptions{mSkipCertificateCheck, mCaBundleFile},
                                  mCallback};
    return downloadOnce(request, mCurl);
}

void DownloadTask::finishWithMd5Check(const std::string& localPath) {
    const std::string computed = OrvalenMd5().getFromFile(localPath);
    // Hex digits name the same digest in either case.
    if (!computed.empty() && lowerCase(mMd5) == computed) {
        finish(E_ORVALEN_DOWNLOAD_MD5_OK, mFileName);
        return;
    }
    DL_LOG(LEVEL_ERROR, "file md5: %s, check md5: %s", mMd5.c_str(), computed.c_str());
    DL_LOG(LEVEL_ERROR, "download ota package %s check md5 error, I will delete it in local",
           localPath.c_str());
    // Gone before it is reported: a download started on the report must not
    // resume from this file.
    std::remove(localPath.c_str());
    finish(E_ORVALEN_DOWNLOAD_MD5_DIFFERS, std::string());
}

void DownloadTask::report(int32_t result, const std::string& localPath) {
    switch (result) {
        case E_DOWNLOAD_OK:
            DL_LOG(LEVEL_DEBUG, "download ota package %s success", mUrl.c_str());
            if (mMd5.empty()) {
                finish(E_ORVALEN_DOWNLOAD_NO_MD5, mFileName);
            } else {
                finishWithMd5Check(localPath);
            }
            break;
        case E_DOWNLOAD_FILE_NOT_OPENED:
            finish(E_ORVALEN_DOWNLOAD_FILE_NOT_OPENED, std::string());
            break;
        case E_DOWNLOAD_MALFORMED_URL:
            finish(E_ORVALEN_DOWNLOAD_BAD_URL, std::string());
            break;
        case E_DOWNLOAD_WRITE_ERROR:
            DL_LOG(LEVEL_DEBUG, "write %s error, I will delete it", localPath.c_str());
            std::remove(localPath.c_str());
            finish(E_ORVALEN_DOWNLOAD_WRITE_ERROR, std::string());
            break;
        default:
            finish(E_ORVALEN_DOWNLOAD_FAILED, std::string());
            break;
    }
}

void DownloadTask::downloadAndReport() {
    if (mUrl.empty()) {
        finish(E_ORVALEN_DOWNLOAD_NO_URL, std::string());
        DL_LOG(LEVEL_ERROR, "%s %s %d : input path link is null Run exit!",
               "Orvalen::DownloadTask::Run", sourceFileName(__FILE__), __LINE__);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(gDirectoryMutex);
        createDirectoryLevels(mDirectory);
    }
    mFileName = fileNameFromUrl(mUrl);
    if (!isUsableFileName(mFileName)) {
        DL_LOG(LEVEL_ERROR, "no file name in url %s", mUrl.c_str());
        finish(E_ORVALEN_DOWNLOAD_BAD_URL, std::string());
        return;
    }
    if (isReservedFileName(mFileName, mReservedNames)) {
        DL_LOG(LEVEL_ERROR, "url %s names the reserved file %s", mUrl.c_str(), mFileName.c_str());
        finish(E_ORVALEN_DOWNLOAD_BAD_URL, std::string());
        return;
    }
    const std::string localPath = localFilePath(mDirectory, mFileName);
    int32_t result = download(mUrl, localPath, mConnectTimeout);
    for (int32_t attempt = 0; isRetried(result) && attempt < mRetryCount; ++attempt) {
        DL_LOG(LEVEL_DEBUG, "download ota package %s fail, count = %d", mUrl.c_str(), attempt);
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        result = download(mUrl, localPath, mConnectTimeout);
    }
    report(result, localPath);
}

void DownloadTask::Run(void*) {
    DL_LOG(LEVEL_DEBUG, "Run start! parse parameter ...");
    if (mParameter) {
        mUrl = mParameter->url;
        mMd5 = mParameter->md5;
        mFileSize = mParameter->fileSize;
        mReservedNames = mParameter->reservedNames;
        mTimeLimitBaseSeconds = mParameter->timeLimitBaseSeconds;
        mMinimumBytesPerSecond = mParameter->minimumBytesPerSecond;
    }
    downloadAndReport();
    DL_LOG(LEVEL_DEBUG, "Run exit!");
    delete this;
}

}  // namespace Orvalen
