#include "download/DownloadTransfer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>

#include "common/HThread.h"
#include "download/DownloadProgress.h"
#include "platform/OrvalenFile.h"
#include "protocol/OrvalenModuleLogs.h"

#define DL_LOG(level, ...) ::Orvalen::downloadLog().printLog(level, __VA_ARGS__)
#define SOURCE_FILE ::Orvalen::sourceFileName(__FILE__)

namespace Orvalen {

namespace {

using Clock = std::chrono::steady_clock;

// Committing after every chunk costs most of the throughput. The file is
// committed at most once per MiB and per second, and when the transfer ends;
// every other MiB is handed to the disk without waiting, so that the last
// commit finds little left to write.
constexpr size_t kCommitBytes = 1u << 20;
constexpr auto kCommitInterval = std::chrono::seconds(1);

bool isSuccessStatus(long status) { return status >= 200 && status < 300; }

// The transfer's state, shared by libcurl's callbacks; the first five
// fields form the progress record.
struct Transfer {
    int64_t resumeOffset;  // length of the file at the start; 0 after a restart
    int64_t expectedSize;
    CURL* curl;
    IOrvalenDownloadCallback* callback;
    const std::string* fileName;

    std::FILE* file;
    int64_t contentRangeStart = -1;  // of the current response, -1 when absent
    bool bodyChecked = false;        // the response was judged, at its first body byte
    bool bodyAccepted = false;
    bool rejected = false;         // not the file's bytes: never written
    bool alreadyComplete = false;  // nothing left to fetch beyond the local file
    bool writeFailed = false;
    bool overLimit = false;       // the body went past the expected size
    int64_t bodyBytes = 0;        // written from the current response
    size_t uncommittedBytes = 0;  // written since the disk was last given data
    Clock::time_point lastCommit = Clock::now();
};

bool startsWithIgnoringCase(const char* text, size_t length, const char* prefix) {
    const size_t prefixLength = std::strlen(prefix);
    if (length < prefixLength) return false;
    for (size_t i = 0; i < prefixLength; ++i) {
        const char c = text[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != prefix[i]) return false;
    }
    return true;
}

size_t onHeader(char* data, size_t size, size_t count, void* userData) {
    auto& transfer = *static_cast<Transfer*>(userData);
    const size_t length = size * count;
    if (startsWithIgnoringCase(data, length, "http/")) {
        transfer.contentRangeStart = -1;
    } else if (startsWithIgnoringCase(data, length, "content-range:")) {
        const std::string value(data + 14, length - 14);
        long long start = -1;
        if (std::sscanf(value.c_str(), " bytes %lld-", &start) == 1) {
            transfer.contentRangeStart = start;
        }
    }
    return length;
}

// Decides, once per response, whether its body belongs into the file.
void checkResponse(Transfer& transfer) {
    transfer.bodyChecked = true;
    const long status = responseCode(transfer.curl);
    if (status == 206) {
        if (transfer.contentRangeStart == transfer.resumeOffset) {
            transfer.bodyAccepted = true;
            return;
        }
        DL_LOG(LEVEL_ERROR, "range answer starts at %lld, not at %lld",
               static_cast<long long>(transfer.contentRangeStart),
               static_cast<long long>(transfer.resumeOffset));
    } else if (isSuccessStatus(status)) {
        if (transfer.resumeOffset > 0) {
            DL_LOG(LEVEL_DEBUG, "server sends the whole file, I will download it from the start");
            if (!platform::truncateToEmpty(transfer.file)) {
                transfer.writeFailed = true;
                return;
            }
            transfer.resumeOffset = 0;
        }
        transfer.bodyAccepted = true;
        return;
    } else if (status == 416 && transfer.resumeOffset > 0 &&
               transfer.resumeOffset == transfer.expectedSize) {
        DL_LOG(LEVEL_DEBUG, "local file already has all %lld bytes",
               static_cast<long long>(transfer.expectedSize));
        transfer.alreadyComplete = true;
        return;
    } else {
        DL_LOG(LEVEL_ERROR, "Http response code error [%ld]", status);
    }
    transfer.rejected = true;
}

bool commitWhenDue(Transfer& transfer) {
    const Clock::time_point now = Clock::now();
    if (transfer.uncommittedBytes < kCommitBytes) return true;
    transfer.uncommittedBytes = 0;
    if (now - transfer.lastCommit < kCommitInterval) {
        return platform::startCommitToDisk(transfer.file);
    }
    transfer.lastCommit = now;
    return platform::commitToDisk(transfer.file);
}

size_t onBody(char* data, size_t size, size_t count, void* userData) {
    auto& transfer = *static_cast<Transfer*>(userData);
    if (!transfer.bodyChecked) checkResponse(transfer);
    if (!transfer.bodyAccepted) return 0;
    // A known size is a limit: nothing is written beyond it, and the
    // transfer stops there; the MD5 check then decides. An unknown size
    // stops at kUnknownSizeLimit, which fails the download.
    size_t wanted = size * count;
    const int64_t limit = transfer.expectedSize >= 0 ? transfer.expectedSize : kUnknownSizeLimit;
    const int64_t room = limit - transfer.resumeOffset - transfer.bodyBytes;
    if (static_cast<int64_t>(wanted) > room) {
        wanted = room > 0 ? static_cast<size_t>(room) : 0;
        transfer.overLimit = true;
    }
    const size_t written = std::fwrite(data, 1, wanted, transfer.file);
    transfer.bodyBytes += static_cast<int64_t>(written);
    if (written != wanted) {
        transfer.writeFailed = true;
        return written;
    }
    transfer.uncommittedBytes += written;
    if (!commitWhenDue(transfer)) {
        transfer.writeFailed = true;
        return 0;
    }
    return transfer.overLimit ? 0 : written;
}

int onProgress(void* userData, curl_off_t dltotal, curl_off_t dlnow, curl_off_t, curl_off_t) {
    auto& transfer = *static_cast<Transfer*>(userData);
    // Stopping the pool waits for this transfer; a slow or stalled one would
    // hold up the end of the process. The partial file stays for a resume.
    if (ThreadPool::isStopping()) {
        DL_LOG(LEVEL_DEBUG, "the download pool is stopping, I will end the transfer");
        return 1;
    }
    // An error page is no progress of the file.
    const long status = responseCode(transfer.curl);
    if (status != 0 && !isSuccessStatus(status)) return 0;
    if (dlnow < dltotal) {
        DL_LOG(LEVEL_DEBUG, "dltotal: %lld, dlnow: %lld, localFileSize: %lld, remoteFileSize: %lld",
               static_cast<long long>(dltotal), static_cast<long long>(dlnow),
               static_cast<long long>(transfer.resumeOffset),
               static_cast<long long>(transfer.expectedSize));
    }
    const double percent =
        downloadPercent(dltotal, dlnow, transfer.resumeOffset, transfer.expectedSize);
    curl_off_t speed = 0;
    curl_easy_getinfo(transfer.curl, CURLINFO_SPEED_DOWNLOAD_T, &speed);
    if (transfer.callback) {
        transfer.callback->onDownloading(percent, *transfer.fileName);
        transfer.callback->onDownloadSpeed(static_cast<double>(speed), *transfer.fileName);
    }
    return 0;
}

// The whole attempt's limit: a base for the connection and the server, plus
// the bytes still to come at the slowest acceptable rate. A trickle of an
// announced large file cannot hold the updater for ever.
long timeLimitMs(const DownloadRequest& request, int64_t localLength) {
    const int64_t size = request.expectedSize >= 0 ? request.expectedSize : kUnknownSizeLimit;
    const int64_t remaining = std::max<int64_t>(0, size - localLength);
    const int64_t rate = std::max<int64_t>(1, request.minimumBytesPerSecond);
    const int64_t ms = request.timeLimitBaseSeconds * 1000 + remaining / rate * 1000 +
                       remaining % rate * 1000 / rate;
    DL_LOG(LEVEL_DEBUG, "transfer time limit %lld ms", static_cast<long long>(ms));
    return static_cast<long>(std::min<int64_t>(ms, std::numeric_limits<long>::max()));
}

// A response without a body never reached onBody; judge it now.
void checkBodilessResponse(Transfer& transfer) {
    if (!transfer.bodyChecked && responseCode(transfer.curl) != 0) checkResponse(transfer);
}

// The attempt's result once the file is closed.
int32_t resultOf(const Transfer& transfer, CURLcode result, bool committed, bool closed,
                 const DownloadRequest& request) {
    if (transfer.alreadyComplete) return E_DOWNLOAD_OK;
    if (transfer.rejected) return E_DOWNLOAD_TRANSFER_FAILED;
    const bool fileWritten = !transfer.writeFailed && committed && closed;
    if (transfer.overLimit && request.expectedSize < 0) {
        DL_LOG(LEVEL_ERROR, "body of unknown size longer than %lld bytes, stopped there",
               static_cast<long long>(kUnknownSizeLimit));
        return E_DOWNLOAD_WRITE_ERROR;
    }
    if (transfer.overLimit && fileWritten) {
        DL_LOG(LEVEL_ERROR, "body longer than the announced %lld bytes, stopped there",
               static_cast<long long>(request.expectedSize));
        return E_DOWNLOAD_OK;
    }
    if (result != CURLE_OK) {
        DL_LOG(LEVEL_ERROR, "[file: %s, line: %d] %s: %s", SOURCE_FILE, __LINE__,
               "Orvalen::DownloadTask::download", curl_easy_strerror(result));
        if (result == CURLE_URL_MALFORMAT) return E_DOWNLOAD_MALFORMED_URL;
        if (result == CURLE_WRITE_ERROR) return E_DOWNLOAD_WRITE_ERROR;
        return E_DOWNLOAD_TRANSFER_FAILED;
    }
    if (!fileWritten) {
        DL_LOG(LEVEL_ERROR, "[file: %s, line: %d] %s: write %s error", SOURCE_FILE, __LINE__,
               "Orvalen::DownloadTask::download", request.localPath.c_str());
        return E_DOWNLOAD_WRITE_ERROR;
    }
    return E_DOWNLOAD_OK;
}

}  // namespace

int32_t downloadOnce(const DownloadRequest& request, CURL*& activeHandle) {
    int64_t localLength = platform::fileSize(request.localPath);
    if (localLength < 0) localLength = 0;
    if (request.expectedSize < localLength) {
        DL_LOG(LEVEL_DEBUG, "localFileLen[%s] > mFileSize[%s], I will delete local file",
               std::to_string(localLength).c_str(), std::to_string(request.expectedSize).c_str());
        std::remove(request.localPath.c_str());
        localLength = 0;
    }
    const bool createdHere = platform::fileSize(request.localPath) < 0;
    std::FILE* file = std::fopen(request.localPath.c_str(), "ab+");
    if (!file) {
        DL_LOG(LEVEL_ERROR, "fopen %s error", request.localPath.c_str());
        return E_DOWNLOAD_FILE_NOT_OPENED;
    }
    CurlEasy curl(curl_easy_init());
    if (!curl) {
        DL_LOG(LEVEL_ERROR, "[file %s, line %d] mCurl init error", SOURCE_FILE, __LINE__);
        std::fclose(file);
        if (createdHere) std::remove(request.localPath.c_str());
        return E_DOWNLOAD_NO_HANDLE;
    }

    Transfer transfer{localLength,      request.expectedSize, curl.get(),
                      request.callback, &request.fileName,    file};
    setTransferOptions(curl.get(), request.url, request.connectTimeoutSeconds, request.tls);
    const std::string range = std::to_string(localLength) + "-";
    if (localLength > 0) curl_easy_setopt(curl.get(), CURLOPT_RANGE, range.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &transfer);
    // A larger receive buffer than the 16 KiB default: fewer, larger writes.
    curl_easy_setopt(curl.get(), CURLOPT_BUFFERSIZE, 512L * 1024);
    curl_easy_setopt(curl.get(), CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl.get(), CURLOPT_XFERINFOFUNCTION, &onProgress);
    curl_easy_setopt(curl.get(), CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, timeLimitMs(request, localLength));

    activeHandle = curl.get();
    const CURLcode result = curl_easy_perform(curl.get());
    if (result == CURLE_OK) checkBodilessResponse(transfer);
    activeHandle = nullptr;
    const bool committed = platform::commitToDisk(file);
    const bool closed = std::fclose(file) == 0;
    const int32_t outcome = resultOf(transfer, result, committed, closed, request);
    // A refused address (another scheme, a redirect, an error status) leaves
    // no empty file behind.
    if (createdHere && outcome != E_DOWNLOAD_OK && platform::fileSize(request.localPath) == 0) {
        DL_LOG(LEVEL_DEBUG, "nothing written, %s removed", request.localPath.c_str());
        std::remove(request.localPath.c_str());
    }
    return outcome;
}

}  // namespace Orvalen
