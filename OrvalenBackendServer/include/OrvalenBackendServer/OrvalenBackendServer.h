#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <memory>
#include <string>

#include "OrvalenBackendServerBase/OrvalenBSRecivedPackage.h"
#include "OrvalenBackendServerBase/OrvalenBSRequestPackage.h"
#include "OrvalenBackendServerBase/OrvalenOtaReceived.h"
#include "common/OrvalenDebugLog.h"

namespace Orvalen {

enum OrvalenQueryResult : int32_t {
    E_ORVALEN_QUERY_HAS_UPGRADE = 0,
    E_ORVALEN_QUERY_NO_UPGRADE = 1,
    E_ORVALEN_QUERY_USE_ILLEGAL_URL = 2,
    E_ORVALEN_QUERY_NOT_INIT = 3,
    E_ORVALEN_QUERY_SYNC_FAIL = 4,
    E_ORVALEN_QUERY_RESPONSE_STATUS_EXCEPT = 5,
    E_ORVALEN_QUERY_JSON_PARSE_ERROR = 6,
    E_ORVALEN_QUERY_TIMEOUT = 7,
    E_ORVALEN_QUERY_BACKEND_STATUS_SYS_UNUSUAL = 1000000,
    E_ORVALEN_QUERY_BACKEND_STATUS_ARG_LACK = 1000001,
    E_ORVALEN_QUERY_BACKEND_STATUS_ARG_UNSUAL = 1000002,
    E_ORVALEN_QUERY_BACKEND_STATUS_DATA_NOT_EXIST = 2000001,
    E_ORVALEN_QUERY_BACKEND_STATUS_DATA_IS_USING = 2000002,
    E_ORVALEN_QUERY_BACKEND_STATUS_SIGN_FAILED = 5000000,
    E_ORVALEN_QUERY_BACKEND_STATUS_UNKNOWN,
};

// The enumerator's name; "E_ORVALEN_QUERY_BACKEND_STATUS_UNKNOWN" for any
// value not listed.
const char* getQueryResultString(int32_t value);

// Client of the update backend: signing key, upgrade check, download address.
// Each exchange is one synchronous HTTPS request on the caller's thread; one
// request at a time (the object has no lock).
class OrvalenBackendServer : public IOrvalenDebugLog {
public:
    static OrvalenBackendServer* getInstance();
    static void destroyInstance();
    // A given sink replaces the module's sink; none keeps the current one.
    static void setDebugLog(IOrvalenDebugLog* sink);
    // Uninstalls the sink if it is the module's current one; a sink that goes
    // away calls this so that nothing logs into it afterwards.
    static void releaseDebugLog(IOrvalenDebugLog* sink);

    // Standard-output sink, tag "OrvalenBackendServer".
    void printLog(int level, const char* format, ...) override ORVALEN_PRINTF_FORMAT(3, 4);

    bool setDeviceInfo(const std::string& model, const std::string& serialNumber);
    // Certificate and host name are verified unless skipCertificateCheck is
    // set; caBundleFile (empty: the system's bundle) names the certificates to
    // trust, e.g. a staging backend's own.
    bool connectToServer(const std::string& hostName, bool skipCertificateCheck,
                         int32_t connectTimeoutSeconds,
                         const std::string& caBundleFile = std::string());
    int32_t queryUpgrade(OrvalenOtaReceived& received, const std::string& packageCode,
                         int32_t versionValue, const std::string& versionName);
    std::string queryDownloadUrl(OrvalenOtaReceived& received, const std::string& packageCode,
                                 int32_t versionValue);
    bool doSyncRequest(const std::string& url, const OrvalenBSRequestPackage& request,
                       OrvalenBSRecivedPackage& response, bool isGet);

private:
    OrvalenBackendServer();
    ~OrvalenBackendServer() override;
    OrvalenBackendServer(const OrvalenBackendServer&) = delete;
    OrvalenBackendServer& operator=(const OrvalenBackendServer&) = delete;

    // A signed request package of the given type for the body.
    OrvalenBSRequestPackage signedPackage(int32_t type, const std::shared_ptr<OrvalenBSBase>& body,
                                          int64_t timestamp, bool logSignature);

    std::string mDeviceModel;
    std::string mDeviceSerialNumber;
    std::string mSignedKey;
    std::string mHostName;
    CURL* mCurl = nullptr;
    int32_t mConnectTimeout = 8;
    bool mSkipCertificateCheck = false;
    std::string mCaBundleFile;
};

}  // namespace Orvalen
