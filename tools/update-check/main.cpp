// One update attempt against a backend, the way the updater makes it: signing
// key, upgrade check, download address, then the package download with resume,
// retry and MD5 check.
//   update-check --host URL --code CODE --version-value N --dir DIR
//                [--ca FILE | --skip-cert-check] [--log FILE]
// The library's log lines go to --log (default: standard error).
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "OrvalenBackendServer/OrvalenBackendServer.h"
#include "OrvalenBackendServer/OrvalenDownloadManager.h"

using namespace Orvalen;

namespace {

struct Options {
    std::string host;
    std::string code;
    int32_t versionValue = -1;
    std::string directory = ".";
    std::string caFile;
    bool skipCertificateCheck = false;
    std::string logFile;
};

class FileLog : public IOrvalenDebugLog {
public:
    explicit FileLog(std::FILE* file) : mFile(file) {}
    void printLog(int level, const char* format, ...) override {
        std::lock_guard<std::mutex> lock(mMutex);
        std::fprintf(mFile, "[%d] ", level);
        va_list args;
        va_start(args, format);
        std::vfprintf(mFile, format, args);
        va_end(args);
        std::fputc('\n', mFile);
    }

private:
    std::mutex mMutex;
    std::FILE* mFile;
};

// Prints progress in steps of ten percent and waits for the finish.
class Progress : public IOrvalenDownloadCallback {
public:
    void onDownloading(double percent, const std::string& fileName) override {
        std::lock_guard<std::mutex> lock(mMutex);
        const int step = static_cast<int>(percent) / 10 * 10;
        if (step <= mLastStep) return;
        mLastStep = step;
        std::printf("  %3d%%  %s\n", step, fileName.c_str());
        std::fflush(stdout);
    }
    void onDownloadSpeed(double bytesPerSecond, const std::string&) override {
        std::lock_guard<std::mutex> lock(mMutex);
        mSpeed = bytesPerSecond;
    }
    void onDownloadFinish(int32_t code, const std::string& fileName) override {
        std::lock_guard<std::mutex> lock(mMutex);
        mCode = code;
        mFileName = fileName;
        mDone = true;
        mFinished.notify_all();
    }
    int32_t wait(std::string& fileName, double& speed) {
        std::unique_lock<std::mutex> lock(mMutex);
        mFinished.wait(lock, [this] { return mDone; });
        fileName = mFileName;
        speed = mSpeed;
        return mCode;
    }

private:
    std::mutex mMutex;
    std::condition_variable mFinished;
    int mLastStep = -1;
    double mSpeed = 0;
    bool mDone = false;
    int32_t mCode = -1;
    std::string mFileName;
};

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--skip-cert-check") {
            options.skipCertificateCheck = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (name == "--host") {
            options.host = value;
        } else if (name == "--code") {
            options.code = value;
        } else if (name == "--version-value") {
            options.versionValue = std::atoi(value);
        } else if (name == "--dir") {
            options.directory = value;
        } else if (name == "--ca") {
            options.caFile = value;
        } else if (name == "--log") {
            options.logFile = value;
        } else {
            return false;
        }
    }
    return !options.host.empty() && !options.code.empty();
}

int download(const Options& options, const OrvalenOtaReceived& received) {
    auto parameter = std::make_shared<OrvalenDownloadParameter>();
    parameter->url = received.fileUrl;
    parameter->md5 = received.fileMd5;
    parameter->fileSize = received.packageSize;
    Progress progress;
    OrvalenDownloadManager::getInstance()->addDownloadTask(
        parameter, options.directory, &progress, options.skipCertificateCheck, 8, options.caFile);
    std::string fileName;
    double speed = 0;
    const int32_t code = progress.wait(fileName, speed);
    OrvalenDownloadManager::destroyInstance();
    std::printf("download finished: code %d, file \"%s\", %.1f MB/s\n", code, fileName.c_str(),
                speed / 1e6);
    return code == E_ORVALEN_DOWNLOAD_MD5_OK || code == E_ORVALEN_DOWNLOAD_NO_MD5 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: update-check --host URL --code CODE --version-value N --dir DIR\n"
                     "                    [--ca FILE | --skip-cert-check] [--log FILE]\n");
        return 2;
    }
    std::FILE* logFile =
        options.logFile.empty() ? stderr : std::fopen(options.logFile.c_str(), "a");
    if (!logFile) {
        std::perror(options.logFile.c_str());
        return 2;
    }
    FileLog log(logFile);
    OrvalenBackendServer::setDebugLog(&log);
    OrvalenDownloadManager::setDebugLog(&log);

    OrvalenBackendServer* server = OrvalenBackendServer::getInstance();
    server->setDeviceInfo(" ", " ");
    int status = 1;
    if (!server->connectToServer(options.host, options.skipCertificateCheck, 8, options.caFile)) {
        std::printf("no signing key from %s\n", options.host.c_str());
    } else {
        OrvalenOtaReceived received;
        const int32_t result =
            server->queryUpgrade(received, options.code, options.versionValue, "");
        std::printf("check of %s %d: %s\n", options.code.c_str(), options.versionValue,
                    getQueryResultString(result));
        if (result == E_ORVALEN_QUERY_HAS_UPGRADE) {
            std::printf("  version %s (%d): %s\n  %s\n  %lld bytes, md5 %s\n",
                        received.versionName.c_str(), received.versionValue,
                        received.packageDescription.c_str(), received.fileUrl.c_str(),
                        static_cast<long long>(received.packageSize), received.fileMd5.c_str());
            std::fflush(stdout);
            status = download(options, received);
        } else {
            status = result == E_ORVALEN_QUERY_NO_UPGRADE ? 0 : 1;
        }
    }
    OrvalenBackendServer::destroyInstance();
    if (logFile != stderr) std::fclose(logFile);
    return status;
}
