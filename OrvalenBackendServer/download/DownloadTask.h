#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "OrvalenBackendServer/OrvalenDownloadManager.h"
#include "common/HThread.h"

namespace Orvalen {

// One download on a pool thread: resume, one retry, MD5 check, exactly one
// onDownloadFinish. Deletes itself at the end of its run.
class DownloadTask : public _Thread {
public:
    DownloadTask(std::shared_ptr<OrvalenDownloadParameter> parameter, const std::string& directory,
                 IOrvalenDownloadCallback* callback, bool skipCertificateCheck,
                 int32_t connectTimeoutSeconds, std::string caBundleFile);
    ~DownloadTask() override;

    void Run(void* arg) override;

private:
    void downloadAndReport();
    // Turns the last attempt's result into the finish code.
    void report(int32_t result, const std::string& localPath);
    int32_t download(const std::string& url, const std::string& localPath,
                     int32_t connectTimeoutSeconds);
    // Compares the file's digest with the expected one and reports 0 or 2.
    void finishWithMd5Check(const std::string& localPath);
    void finish(int32_t code, const std::string& fileName);

    CURL* mCurl = nullptr;
    IOrvalenDownloadCallback* mCallback;
    std::string mUrl;
    std::string mMd5;
    std::string mFileName;
    std::string mDirectory = ".";
    int32_t mConnectTimeout = 8;
    int32_t mRetryCount = 1;
    bool mSkipCertificateCheck = false;
    std::string mCaBundleFile;
    int64_t mFileSize = 0;
    std::vector<std::string> mReservedNames;
    int64_t mTimeLimitBaseSeconds = 600;
    int64_t mMinimumBytesPerSecond = 16 * 1024;
    std::shared_ptr<OrvalenDownloadParameter> mParameter;
};

}  // namespace Orvalen
