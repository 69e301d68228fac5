#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/OrvalenDebugLog.h"

namespace Orvalen {

// What to download; shared between the caller and the task.
struct OrvalenDownloadParameter {
    std::string url;
    std::string md5;        // expected MD5 text of the file; empty: not verified
    int64_t fileSize = -1;  // expected size in bytes, a limit; -1: unknown, then 4 GiB
    // Local names the file must never take (the caller's own files in the
    // same directory); compared ignoring letter case and trailing dots. A url
    // naming one finishes with E_ORVALEN_DOWNLOAD_BAD_URL.
    std::vector<std::string> reservedNames;
    // Each transfer attempt ends after timeLimitBaseSeconds plus the bytes
    // still to come at minimumBytesPerSecond, as a failed transfer (retried
    // once, the partial file kept). Only tests change these.
    int64_t timeLimitBaseSeconds = 600;
    int64_t minimumBytesPerSecond = 16 * 1024;
};

// The most a download of unknown size may write.
constexpr int64_t kUnknownSizeLimit = int64_t(4) << 30;

// Finish codes of onDownloadFinish.
enum OrvalenDownloadFinishCode : int32_t {
    E_ORVALEN_DOWNLOAD_MD5_OK = 0,       // file name given, file kept
    E_ORVALEN_DOWNLOAD_NO_MD5 = 1,       // file name given, file kept
    E_ORVALEN_DOWNLOAD_MD5_DIFFERS = 2,  // file deleted
    E_ORVALEN_DOWNLOAD_FAILED = 3,       // after the retry; partial file kept
    E_ORVALEN_DOWNLOAD_NO_URL = 4,
    E_ORVALEN_DOWNLOAD_BAD_URL = 5,  // malformed, or no usable or a reserved file name in it
    E_ORVALEN_DOWNLOAD_FILE_NOT_OPENED = 6,
    E_ORVALEN_DOWNLOAD_WRITE_ERROR = 7,  // file deleted
};

// Notifications of one download, called on the task's pool thread.
class IOrvalenDownloadCallback {
public:
    virtual ~IOrvalenDownloadCallback() = default;
    virtual void onDownloading(double percent, const std::string& fileName) = 0;
    virtual void onDownloadSpeed(double bytesPerSecond, const std::string& fileName) = 0;
    // Exactly once per task; the name is empty unless the code is 0 or 1.
    virtual void onDownloadFinish(int32_t code, const std::string& fileName) = 0;
};

// Runs downloads as tasks on the six-thread pool.
class OrvalenDownloadManager : public IOrvalenDebugLog {
public:
    static OrvalenDownloadManager* getInstance();
    // Stops the pool, which waits for downloads in progress.
    static void destroyInstance();
    // A given sink replaces the module's sink; none keeps the current one.
    static void setDebugLog(IOrvalenDebugLog* sink);
    // Uninstalls the sink if it is the module's current one; a sink that goes
    // away calls this so that nothing logs into it afterwards.
    static void releaseDebugLog(IOrvalenDebugLog* sink);

    // Standard-output sink, tag "OrvalenDownloadManager".
    void printLog(int level, const char* format, ...) override ORVALEN_PRINTF_FORMAT(3, 4);

    // Queues the download and returns at once. An empty directory means ".".
    // Certificate and host name are verified unless skipCertificateCheck is
    // set; caBundleFile (empty: the system's bundle) names the certificates to
    // trust.
    void addDownloadTask(const std::shared_ptr<OrvalenDownloadParameter>& parameter,
                         const std::string& directory, IOrvalenDownloadCallback* callback,
                         bool skipCertificateCheck, int32_t connectTimeoutSeconds,
                         const std::string& caBundleFile = std::string());

private:
    OrvalenDownloadManager() = default;
    ~OrvalenDownloadManager() override;
    OrvalenDownloadManager(const OrvalenDownloadManager&) = delete;
    OrvalenDownloadManager& operator=(const OrvalenDownloadManager&) = delete;
};

}  // namespace Orvalen
