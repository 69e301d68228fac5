#pragma once

// One transfer attempt of a download task: appends to the local file from
// its current length, or starts it again when the server sends the whole
// file.

#include <curl/curl.h>

#include <cstdint>
#include <string>

#include "OrvalenBackendServer/OrvalenDownloadManager.h"
#include "protocol/OrvalenCurl.h"

namespace Orvalen {

// Results of an attempt, as the task decides on them.
enum DownloadResult : int32_t {
    E_DOWNLOAD_OK = 0,
    E_DOWNLOAD_NO_HANDLE = 2,
    E_DOWNLOAD_MALFORMED_URL = 3,  // libcurl's CURLE_URL_MALFORMAT
    E_DOWNLOAD_WRITE_ERROR = 23,   // libcurl's CURLE_WRITE_ERROR
    E_DOWNLOAD_FILE_NOT_OPENED = 25,
    E_DOWNLOAD_TRANSFER_FAILED = 27,
};

struct DownloadRequest {
    std::string url;
    std::string localPath;
    std::string fileName;  // as the callbacks report it
    int64_t expectedSize;  // -1 when unknown
    int32_t connectTimeoutSeconds;
    int64_t timeLimitBaseSeconds;  // see OrvalenDownloadParameter
    int64_t minimumBytesPerSecond;
    OrvalenTlsOptions tls;
    IOrvalenDownloadCallback* callback;
};

// Runs one attempt; activeHandle holds the transfer handle while it runs.
int32_t downloadOnce(const DownloadRequest& request, CURL*& activeHandle);

}  // namespace Orvalen
