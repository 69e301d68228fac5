// The backend protocol against the reference backend over HTTPS.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "OrvalenBackendServer/OrvalenBackendServer.h"
#include "ReferenceBackendTest.h"
#include "common/OrvalenMd5.h"

using namespace Orvalen;
using testsupport::SeenRequest;

namespace {

const char* const kManifest = R"({"packages":[{"packageCode":"LUMI_DESK","versionName":"1.3.0",
    "versionValue":130,"description":"faster keying","file":"peza-1.3.0.7z"}]})";
const std::string kPackage = testsupport::patternBytes(70000);

const char* const kCheckPath = "/api/v1/upgrade/checkUpgrade";
const char* const kAddressPath = "/api/v1/upgrade/getDownloadUrl";
const char* const kKeyPath = "/api/v1/sign/getSignKey";

// The text between "<prefix>" and the next "]" of the first message holding it.
std::string logValue(const std::string& prefix) {
    for (const std::string& message : testsupport::sharedTestLog().messages()) {
        const size_t at = message.find(prefix);
        if (at == std::string::npos) continue;
        const size_t begin = at + prefix.size();
        return message.substr(begin, message.find(']', begin) - begin);
    }
    return std::string();
}

// The request's header lines that this client sets, in their order.
std::vector<std::string> ourHeaders(const SeenRequest& request) {
    std::vector<std::string> ours;
    for (const std::string& header : request.headers) {
        if (header.rfind("DEVICE-", 0) == 0 || header.rfind("Content-Type", 0) == 0) {
            ours.push_back(header);
        }
    }
    return ours;
}

class BackendServerTest : public testsupport::ReferenceBackendTest {
protected:
    void SetUp() override {
        ReferenceBackendTest::SetUp();
        if (HasFatalFailure()) return;
        backend().writeManifest(kManifest);
        backend().writePackage("peza-1.3.0.7z", kPackage);
        OrvalenBackendServer::setDebugLog(&testsupport::sharedTestLog());
        mServer = OrvalenBackendServer::getInstance();
    }
    void TearDown() override { OrvalenBackendServer::destroyInstance(); }

    bool connect(const std::string& suffix = std::string()) {
        return mServer->connectToServer(backend().url() + suffix, false, 8, backend().caFile());
    }
    // Faults for the requests whose path starts with the given one.
    void fault(const char* path, const std::string& settings) {
        ASSERT_TRUE(
            backend().setFaults(std::string("{\"path\":\"") + path + "\"," + settings + "}"));
    }
    std::vector<SeenRequest> seen() { return backend().seen(); }

    OrvalenBackendServer* mServer = nullptr;
};

}  // namespace

TEST_F(BackendServerTest, FindsAnUpgradeAndItsDownloadAddress) {
    ASSERT_TRUE(connect());
    EXPECT_TRUE(logged("get signKey[" + backend().signKey() + "]"));

    OrvalenOtaReceived received;
    EXPECT_EQ(mServer->queryUpgrade(received, "LUMI_DESK", 120, ""), E_ORVALEN_QUERY_HAS_UPGRADE);
    EXPECT_EQ(received.fileUrl, backend().packageUrl("peza-1.3.0.7z"));
    EXPECT_EQ(received.fileMd5, OrvalenMd5().getFromString(kPackage));
    EXPECT_EQ(received.packageSize, static_cast<int64_t>(kPackage.size()));
    EXPECT_EQ(received.packageCode, "LUMI_DESK");
    EXPECT_EQ(received.packageDescription, "faster keying");
    EXPECT_EQ(received.versionName, "1.3.0");
    EXPECT_EQ(received.versionValue, 130);
    EXPECT_TRUE(logged("url get finish"));

    const auto requests = seen();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].method + " " + requests[0].path, std::string("GET ") + kKeyPath);
    EXPECT_EQ(requests[1].method + " " + requests[1].path, std::string("POST ") + kCheckPath);
    EXPECT_EQ(requests[2].method + " " + requests[2].path, std::string("POST ") + kAddressPath);
    EXPECT_NE(requests[1].body.find(R"(,"body":{"packageCode":"LUMI_DESK","versionValue":120}})"),
              std::string::npos)
        << requests[1].body;
}

TEST_F(BackendServerTest, SignsKeyTimestampBodyKeyWithLowerCaseMd5) {
    ASSERT_TRUE(connect());
    OrvalenOtaReceived received;
    ASSERT_EQ(mServer->queryUpgrade(received, "LUMI_DESK", 120, ""), E_ORVALEN_QUERY_HAS_UPGRADE);

    const std::string key = backend().signKey();
    const std::string timestamp = logValue("queryUpgrade get timeStamp[");
    ASSERT_EQ(timestamp.size(), 13u);
    const std::string signedString =
        key + timestamp + R"({"packageCode":"LUMI_DESK","versionValue":120})" + key;
    EXPECT_EQ(logValue("queryUpgrade signStr["), signedString);
    const std::string sign = logValue("queryUpgrade sign md5[");
    EXPECT_EQ(sign, OrvalenMd5().getFromString(signedString));
    EXPECT_NE(seen()[1].body.find("\"sign\":\"" + sign + "\",\"timestamp\":" + timestamp),
              std::string::npos);
}

TEST_F(BackendServerTest, NoUpgradeForTheCurrentVersionLeavesTheRecordAlone) {
    ASSERT_TRUE(connect());
    OrvalenOtaReceived received;
    EXPECT_EQ(mServer->queryUpgrade(received, "LUMI_DESK", 130, ""), E_ORVALEN_QUERY_NO_UPGRADE);
    EXPECT_TRUE(logged("server return data is null, it means no upgrade!"));
    EXPECT_EQ(received.fileMd5, "");
    EXPECT_EQ(received.versionValue, -1);
    EXPECT_EQ(seen().size(), 2u);
}

TEST_F(BackendServerTest, WrongSignatureIsRefusedByTheServer) {
    fault(kKeyPath, R"("data_value":"not-the-key")");
    ASSERT_TRUE(connect());
    OrvalenOtaReceived received;
    EXPECT_EQ(mServer->queryUpgrade(received, "LUMI_DESK", 120, ""), E_ORVALEN_QUERY_SYNC_FAIL);
    EXPECT_TRUE(logged("bsReceivedPackgae.code[5000000]"));
}

TEST_F(BackendServerTest, QueryBeforeConnectingSendsNothing) {
    OrvalenOtaReceived received;
    EXPECT_EQ(mServer->queryUpgrade(received, "LUMI_DESK", 120, ""), E_ORVALEN_QUERY_NOT_INIT);
    EXPECT_EQ(mServer->queryDownloadUrl(received, "LUMI_DESK", 130), "");
    EXPECT_TRUE(logged("queryUpgrade mSignedKey not get or not init finish"));
    EXPECT_TRUE(logged("mSignedKey is null"));
    EXPECT_TRUE(seen().empty());
}

TEST_F(BackendServerTest, HostNameLosesTrailingSlashesAndEmptyHostsFail) {
    EXPECT_TRUE(connect("///"));
    ASSERT_EQ(seen().size(), 1u);
    EXPECT_EQ(seen()[0].path, kKeyPath);

    EXPECT_FALSE(mServer->connectToServer("", false, 8));
    EXPECT_TRUE(logged("Orvalen::OrvalenBackendServer::connectToServer input null"));
    EXPECT_FALSE(mServer->connectToServer("/", false, 8));
    EXPECT_TRUE(logged("Orvalen::OrvalenBackendServer::connectToServer mHostName input null"));
    EXPECT_EQ(seen().size(), 1u);
}

TEST_F(BackendServerTest, KeyLosesItsQuotes) {
    fault(kKeyPath, R"("data_value":"abc")");
    ASSERT_TRUE(connect());
    EXPECT_TRUE(logged("receive sign key[\"abc\"]"));
    EXPECT_TRUE(logged("first find pos[1]"));
    EXPECT_TRUE(logged("get signKey[abc]"));
}

// Each row: what the key request gets, and whether connecting succeeds.
struct KeyFailure {
    const char* faults;
    const char* logLine;
};

TEST_F(BackendServerTest, KeyRequestFailuresFailTheConnection) {
    const KeyFailure rows[] = {
        {R"("http_status":404)", "Http response code error [404]"},
        {R"("envelope_code":2000001)", "bsReceivedPackgae.code[2000001]"},
        {R"("non_json":true)", "Orvalen::OrvalenBackendServer::doSyncRequest error"},
        {R"("data_missing":true)", "mSignedKey get null"},
        {R"("data_value":"")", "mSignedKey get null"},
    };
    for (const KeyFailure& row : rows) {
        SCOPED_TRACE(row.faults);
        testsupport::sharedTestLog().clear();
        fault(kKeyPath, row.faults);
        EXPECT_FALSE(connect());
        EXPECT_TRUE(logged(row.logLine));
    }
}

TEST_F(BackendServerTest, KeyFromAnEarlierConnectionIsKept) {
    ASSERT_TRUE(connect());
    fault(kKeyPath, R"("data_missing":true)");
    EXPECT_TRUE(connect());
    fault(kKeyPath, R"("http_status":500)");
    EXPECT_FALSE(connect());
    backend().setFaults("{}");
    OrvalenOtaReceived received;
    EXPECT_EQ(mServer->queryUpgrade(received, "LUMI_DESK", 120, ""), E_ORVALEN_QUERY_HAS_UPGRADE);
}

TEST_F(BackendServerTest, JsonNullKeyBecomesTheTextNull) {
    fault(kKeyPath, R"("data_null":true)");
    EXPECT_TRUE(connect());
    EXPECT_TRUE(logged("get signKey[null]"));
}

TEST_F(BackendServerTest, TransportErrorFailsTheConnection) {
    const int closedPort = testsupport::freePort();
    EXPECT_FALSE(mServer->connectToServer("https://127.0.0.1:" + std::to_string(closedPort), false,
                                          8, backend().caFile()));
    EXPECT_TRUE(logged("curl_easy_perform() error: Couldn't connect to server"));
}

struct QueryRow {
    const char* path;
    const char* faults;
    int32_t result;
    size_t requests;  // seen by the server, the key request included
};

TEST_F(BackendServerTest, UpgradeCheckFailureTable) {
    const QueryRow rows[] = {
        {kCheckPath, R"("http_status":404)", E_ORVALEN_QUERY_SYNC_FAIL, 2},
        {kCheckPath, R"("http_status":500)", E_ORVALEN_QUERY_SYNC_FAIL, 2},
        {kCheckPath, R"("envelope_code":2000001)", E_ORVALEN_QUERY_SYNC_FAIL, 2},
        {kCheckPath, R"("non_json":true)", E_ORVALEN_QUERY_SYNC_FAIL, 2},
        {kCheckPath, R"("data_missing":true)", E_ORVALEN_QUERY_NO_UPGRADE, 2},
        {kCheckPath, R"("data_null":true)", E_ORVALEN_QUERY_NO_UPGRADE, 2},
        {kCheckPath, R"("data_value":"an upgrade")", E_ORVALEN_QUERY_JSON_PARSE_ERROR, 2},
        {kCheckPath, R"("data_value":{"versionValue":130})", E_ORVALEN_QUERY_NO_UPGRADE, 2},
        {kCheckPath, R"("data_value":{"packageCode":"LUMI_DESK"})", E_ORVALEN_QUERY_NO_UPGRADE, 2},
        {kAddressPath, R"("http_status":404)", E_ORVALEN_QUERY_NO_UPGRADE, 3},
        {kAddressPath, R"("envelope_code":2000001)", E_ORVALEN_QUERY_NO_UPGRADE, 3},
        {kAddressPath, R"("data_missing":true)", E_ORVALEN_QUERY_NO_UPGRADE, 3},
        {kAddressPath, R"("data_null":true)", E_ORVALEN_QUERY_NO_UPGRADE, 3},
        {kAddressPath, R"("data_value":[1,2])", E_ORVALEN_QUERY_NO_UPGRADE, 3},
    };
    for (const QueryRow& row : rows) {
        SCOPED_TRACE(std::string(row.path) + " " + row.faults);
        ASSERT_TRUE(backend().reset());
        ASSERT_TRUE(connect());
        fault(row.path, row.faults);
        OrvalenOtaReceived received;
        EXPECT_EQ(mServer->queryUpgrade(received, "LUMI_DESK", 120, ""), row.result);
        EXPECT_EQ(seen().size(), row.requests);
    }
}

TEST_F(BackendServerTest, DownloadAddressFailuresGiveAnEmptyAddress) {
    ASSERT_TRUE(connect());
    const char* const rows[] = {R"("http_status":404)", R"("data_missing":true)",
                                R"("data_null":true)", R"("data_value":"x")"};
    for (const char* row : rows) {
        SCOPED_TRACE(row);
        fault(kAddressPath, row);
        OrvalenOtaReceived received;
        received.fileUrl = "stale";
        EXPECT_EQ(mServer->queryDownloadUrl(received, "LUMI_DESK", 130), "");
    }
    backend().setFaults("{}");
    OrvalenOtaReceived received;
    EXPECT_EQ(mServer->queryDownloadUrl(received, "LUMI_DESK", 130),
              backend().packageUrl("peza-1.3.0.7z"));
}

TEST_F(BackendServerTest, OversizedAnswerIsRefused) {
    ASSERT_TRUE(connect());
    fault(kCheckPath, "\"data_value\":\"" + std::string(5 << 20, 'x') + "\"");
    OrvalenOtaReceived received;
    EXPECT_EQ(mServer->queryUpgrade(received, "LUMI_DESK", 120, ""), E_ORVALEN_QUERY_SYNC_FAIL);
    EXPECT_TRUE(logged("response larger than"));
}

TEST_F(BackendServerTest, DeviceHeadersAreSentOnlyWhenSet) {
    EXPECT_FALSE(mServer->setDeviceInfo("7K_QM_RTc4", ""));
    EXPECT_TRUE(logged("Orvalen::OrvalenBackendServer::setDeviceInfo input null"));
    ASSERT_TRUE(connect());
    ASSERT_TRUE(mServer->setDeviceInfo(" ", " "));
    ASSERT_TRUE(connect());
    ASSERT_TRUE(mServer->setDeviceInfo("7K_QM_RTc4", "SN 01"));
    ASSERT_TRUE(connect());

    const auto requests = seen();
    ASSERT_EQ(requests.size(), 3u);
    for (const std::string& header : requests[0].headers) {
        EXPECT_NE(header.rfind("DEVICE-", 0), 0u) << header;
    }
    // Blank values go as empty ones: libcurl sends no header line with only
    // blanks after the colon.
    EXPECT_EQ(ourHeaders(requests[1]), (std::vector<std::string>{"Content-Type:application/json",
                                                                 "DEVICE-SN:", "DEVICE-MODEL:"}));
    EXPECT_EQ(ourHeaders(requests[2]),
              (std::vector<std::string>{"Content-Type:application/json", "DEVICE-SN:SN 01",
                                        "DEVICE-MODEL:7K_QM_RTc4"}));
}

TEST(QueryResultString, NamesListedValuesAndUnknownForTheRest) {
    EXPECT_STREQ(getQueryResultString(0), "E_ORVALEN_QUERY_HAS_UPGRADE");
    EXPECT_STREQ(getQueryResultString(7), "E_ORVALEN_QUERY_TIMEOUT");
    EXPECT_STREQ(getQueryResultString(5000000), "E_ORVALEN_QUERY_BACKEND_STATUS_SIGN_FAILED");
    EXPECT_STREQ(getQueryResultString(-1), "E_ORVALEN_QUERY_BACKEND_STATUS_UNKNOWN");
    EXPECT_STREQ(getQueryResultString(5000001), "E_ORVALEN_QUERY_BACKEND_STATUS_UNKNOWN");
}
