#include "OrvalenBackendServer/OrvalenBackendServer.h"

#include <chrono>
#include <mutex>

#include "OrvalenBackendServer/OrvalenStdoutLog.h"
#include "OrvalenBackendServerBase/OrvalenOtaRequest.h"
#include "common/OrvalenMd5.h"
#include "protocol/OrvalenCurl.h"
#include "protocol/OrvalenModuleLogs.h"

#define BS_LOG(level, ...) ::Orvalen::backendLog().printLog(level, __VA_ARGS__)
#define SOURCE_FILE ::Orvalen::sourceFileName(__FILE__)

namespace Orvalen {

namespace {

std::mutex gInstanceMutex;
OrvalenBackendServer* gInstance = nullptr;

// Backend answers are small JSON envelopes; a larger body is refused rather
// than held in memory.
constexpr size_t kMaxResponseBytes = 4u << 20;

struct ResponseBuffer {
    std::string text;
    bool tooLarge = false;
};

size_t appendResponse(char* data, size_t size, size_t count, void* userData) {
    auto* response = static_cast<ResponseBuffer*>(userData);
    const size_t bytes = size * count;
    if (response->text.size() + bytes > kMaxResponseBytes) {
        response->tooLarge = true;
        return 0;
    }
    response->text.append(data, bytes);
    return bytes;
}

void appendHeader(CurlList& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (!grown) return;
    list.release();
    list.reset(grown);
}

// libcurl drops a custom header whose value is only blanks; the "Name;" form
// sends it with an empty value, which HTTP reads the same as "Name: ".
std::string headerLine(const char* name, const std::string& value) {
    if (value.find_first_not_of(" \t") == std::string::npos) return std::string(name) + ";";
    return std::string(name) + ":" + value;
}

int64_t millisecondsSinceEpoch() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

OrvalenBackendServer* OrvalenBackendServer::getInstance() {
    std::lock_guard<std::mutex> lock(gInstanceMutex);
    if (gInstance) return gInstance;
    curl_global_init(CURL_GLOBAL_ALL);
    gInstance = new OrvalenBackendServer();
    backendLog().setIfEmpty(gInstance);
    BS_LOG(LEVEL_DEBUG, "call %s()", "Orvalen::OrvalenBackendServer::OrvalenBackendServer");
    return gInstance;
}

void OrvalenBackendServer::destroyInstance() {
    std::lock_guard<std::mutex> lock(gInstanceMutex);
    if (!gInstance) return;
    delete gInstance;
    gInstance = nullptr;
    curl_global_cleanup();
}

void OrvalenBackendServer::setDebugLog(IOrvalenDebugLog* sink) { backendLog().set(sink); }

void OrvalenBackendServer::releaseDebugLog(IOrvalenDebugLog* sink) { backendLog().release(sink); }

OrvalenBackendServer::OrvalenBackendServer() = default;

OrvalenBackendServer::~OrvalenBackendServer() {
    BS_LOG(LEVEL_DEBUG, "call %s()", "Orvalen::OrvalenBackendServer::~OrvalenBackendServer");
    backendLog().release(this);
}

void OrvalenBackendServer::printLog(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprintStdoutLog("OrvalenBackendServer", level, format, args);
    va_end(args);
}

bool OrvalenBackendServer::setDeviceInfo(const std::string& model,
                                         const std::string& serialNumber) {
    if (model.empty() || serialNumber.empty()) {
        BS_LOG(LEVEL_ERROR, "%s input null, file %s line %d",
               "Orvalen::OrvalenBackendServer::setDeviceInfo", SOURCE_FILE, __LINE__);
        return false;
    }
    mDeviceModel = model;
    mDeviceSerialNumber = serialNumber;
    return true;
}

bool OrvalenBackendServer::doSyncRequest(const std::string& url,
                                         const OrvalenBSRequestPackage& request,
                                         OrvalenBSRecivedPackage& response, bool isGet) {
    CurlList headers;
    appendHeader(headers, "Content-Type:application/json");
    if (!mDeviceSerialNumber.empty()) {
        appendHeader(headers, headerLine("DEVICE-SN", mDeviceSerialNumber));
    }
    if (!mDeviceModel.empty()) appendHeader(headers, headerLine("DEVICE-MODEL", mDeviceModel));

    CurlEasy curl(curl_easy_init());
    if (!curl) {
        BS_LOG(LEVEL_ERROR, "curl_easy_init() error");
        return false;
    }
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
    setTransferOptions(curl.get(), url, mConnectTimeout,
                       OrvalenTlsOptions{mSkipCertificateCheck, mCaBundleFile});
    std::string postText;
    if (!isGet) {
        postText = request.toJsonString();
        BS_LOG(LEVEL_DEBUG, "requestData[%d]:%s", static_cast<int>(postText.size()),
               postText.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, postText.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE, static_cast<long>(postText.size()));
    }
    ResponseBuffer received;
    char errorBuffer[CURL_ERROR_SIZE] = {0};
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &appendResponse);
    curl_easy_setopt(curl.get(), CURLOPT_ERRORBUFFER, errorBuffer);

    mCurl = curl.get();
    const CURLcode result = curl_easy_perform(curl.get());
    mCurl = nullptr;
    if (result != CURLE_OK) {
        BS_LOG(LEVEL_ERROR, "curl_easy_perform() error: %s file %s line %d",
               curl_easy_strerror(result), SOURCE_FILE, __LINE__);
        BS_LOG(LEVEL_ERROR, "curl_easy_perform() error: %s", errorBuffer);
        if (received.tooLarge) {
            BS_LOG(LEVEL_ERROR, "response larger than %zu bytes refused", kMaxResponseBytes);
        }
        return false;
    }
    const long status = responseCode(curl.get());
    if (status != 200) {
        BS_LOG(LEVEL_ERROR, "Http response code error [%lu]", static_cast<unsigned long>(status));
        return false;
    }
    BS_LOG(LEVEL_DEBUG, "reponse[%s]:%s", std::to_string(received.text.size()).c_str(),
           received.text.c_str());
    if (!response.parseReceive(received.text.c_str())) {
        BS_LOG(LEVEL_ERROR, "%s error", "Orvalen::OrvalenBackendServer::doSyncRequest");
        return false;
    }
    if (response.code != 200) {
        BS_LOG(LEVEL_ERROR, "bsReceivedPackgae.code[%d]", response.code);
        return false;
    }
    return true;
}

bool OrvalenBackendServer::connectToServer(const std::string& hostName, bool skipCertificateCheck,
                                           int32_t connectTimeoutSeconds,
                                           const std::string& caBundleFile) {
    static const char* const kFunction = "Orvalen::OrvalenBackendServer::connectToServer";
    if (hostName.empty()) {
        BS_LOG(LEVEL_ERROR, "%s input null, file %s line %d", kFunction, SOURCE_FILE, __LINE__);
        return false;
    }
    mSkipCertificateCheck = skipCertificateCheck;
    mCaBundleFile = caBundleFile;
    if (connectTimeoutSeconds > 0) mConnectTimeout = connectTimeoutSeconds;
    mHostName = hostName;
    mHostName.erase(mHostName.find_last_not_of('/') + 1);
    if (mHostName.empty()) {
        BS_LOG(LEVEL_ERROR, "%s mHostName input null, file %s line %d", kFunction, SOURCE_FILE,
               __LINE__);
        return false;
    }

    OrvalenBSRequestPackage request;
    OrvalenBSRecivedPackage response;
    if (!doSyncRequest(mHostName + "/api/v1/sign/getSignKey", request, response, true)) {
        BS_LOG(LEVEL_ERROR, "[%s:%d], %s fail", SOURCE_FILE, __LINE__, kFunction);
        return false;
    }
    if (!response.data.empty()) {
        BS_LOG(LEVEL_DEBUG, "receive sign key[%s]", response.data.c_str());
        mSignedKey = response.data;
        const size_t first = mSignedKey.find_first_not_of('"');
        BS_LOG(LEVEL_DEBUG, "first find pos[%d]",
               first == std::string::npos ? -1 : static_cast<int>(first));
        mSignedKey.erase(0, first);
        mSignedKey.erase(mSignedKey.find_last_not_of('"') + 1);
    }
    if (mSignedKey.empty()) {
        BS_LOG(LEVEL_ERROR, "mSignedKey get null");
        return false;
    }
    BS_LOG(LEVEL_DEBUG, "get signKey[%s]", mSignedKey.c_str());
    return true;
}

OrvalenBSRequestPackage OrvalenBackendServer::signedPackage(
    int32_t type, const std::shared_ptr<OrvalenBSBase>& body, int64_t timestamp,
    bool logSignature) {
    const std::string signedString =
        mSignedKey + std::to_string(timestamp) + body->getSignedString(type) + mSignedKey;
    if (logSignature) BS_LOG(LEVEL_DEBUG, "queryUpgrade signStr[%s]", signedString.c_str());
    OrvalenBSRequestPackage request;
    request.type = static_cast<uint32_t>(type);
    request.timestamp = timestamp;
    request.sign = OrvalenMd5().getFromString(signedString);
    request.body = body;
    if (logSignature) BS_LOG(LEVEL_DEBUG, "queryUpgrade sign md5[%s]", request.sign.c_str());
    return request;
}

namespace {

// A packageSize that is not a non-negative integer sets no limit on the
// download; such an offer is refused.
bool sizeRefused(const OrvalenOtaReceived& received) {
    if (!received.packageSizeMalformed) return false;
    BS_LOG(LEVEL_ERROR, "refused: the answer's packageSize is not a non-negative integer");
    return true;
}

}  // namespace

int32_t OrvalenBackendServer::queryUpgrade(OrvalenOtaReceived& received,
                                           const std::string& packageCode, int32_t versionValue,
                                           const std::string& versionName) {
    if (mSignedKey.empty()) {
        BS_LOG(LEVEL_ERROR, "queryUpgrade mSignedKey not get or not init finish");
        return E_ORVALEN_QUERY_NOT_INIT;
    }
    auto body = std::make_shared<OrvalenOtaRequest>();
    body->packageCode = packageCode;
    body->versionName = versionName;
    body->versionValue = versionValue;
    const int64_t timestamp = millisecondsSinceEpoch();
    BS_LOG(LEVEL_DEBUG, "queryUpgrade get timeStamp[%s]", std::to_string(timestamp).c_str());
    const OrvalenBSRequestPackage request =
        signedPackage(E_ORVALEN_REQUEST_CHECK_UPGRADE, body, timestamp, true);

    OrvalenBSRecivedPackage response;
    if (!doSyncRequest(mHostName + "/api/v1/upgrade/checkUpgrade", request, response, false)) {
        BS_LOG(LEVEL_ERROR, "[%s:%d]%s fail", SOURCE_FILE, __LINE__,
               "Orvalen::OrvalenBackendServer::queryUpgrade");
        return E_ORVALEN_QUERY_SYNC_FAIL;
    }
    if (response.data.empty() || response.data == "null") {
        BS_LOG(LEVEL_INFO, "server return data is null, it means no upgrade!");
        return E_ORVALEN_QUERY_NO_UPGRADE;
    }
    if (!received.parseData(response.data)) {
        BS_LOG(LEVEL_ERROR, "rev->paserData(recive->data) error");
        return E_ORVALEN_QUERY_JSON_PARSE_ERROR;
    }
    if (sizeRefused(received)) return E_ORVALEN_QUERY_JSON_PARSE_ERROR;
    if (received.packageCode.empty() || received.versionValue == -1) {
        return E_ORVALEN_QUERY_NO_UPGRADE;
    }
    const bool hasUrl =
        !queryDownloadUrl(received, received.packageCode, received.versionValue).empty();
    if (sizeRefused(received)) return E_ORVALEN_QUERY_JSON_PARSE_ERROR;
    if (!hasUrl) return E_ORVALEN_QUERY_NO_UPGRADE;
    BS_LOG(LEVEL_WARNING, "%s url get finish, line %d",
           "Orvalen::OrvalenBackendServer::queryUpgrade", __LINE__);
    return E_ORVALEN_QUERY_HAS_UPGRADE;
}

std::string OrvalenBackendServer::queryDownloadUrl(OrvalenOtaReceived& received,
                                                   const std::string& packageCode,
                                                   int32_t versionValue) {
    auto body = std::make_shared<OrvalenOtaRequest>();
    body->packageCode = packageCode;
    body->versionValue = versionValue;
    const int64_t timestamp = millisecondsSinceEpoch();
    BS_LOG(LEVEL_DEBUG, "queryDownloadUrl timeStamp[%s]", std::to_string(timestamp).c_str());
    if (mSignedKey.empty()) {
        BS_LOG(LEVEL_ERROR, "mSignedKey is null");
        return std::string();
    }
    const OrvalenBSRequestPackage request =
        signedPackage(E_ORVALEN_REQUEST_DOWNLOAD_URL, body, timestamp, false);

    OrvalenBSRecivedPackage response;
    if (!doSyncRequest(mHostName + "/api/v1/upgrade/getDownloadUrl", request, response, false)) {
        BS_LOG(LEVEL_ERROR, "%s:line %d fail", "Orvalen::OrvalenBackendServer::queryDownloadUrl",
               __LINE__);
        return std::string();
    }
    received = OrvalenOtaReceived();
    if (!received.parseData(response.data)) {
        BS_LOG(LEVEL_ERROR, "rev.parseData(receive.data) error");
        return std::string();
    }
    return received.fileUrl;
}

}  // namespace Orvalen
