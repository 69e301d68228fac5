// Certificate and host-name checks of requests and downloads.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "OrvalenBackendServer/OrvalenBackendServer.h"
#include "OrvalenBackendServer/OrvalenDownloadManager.h"
#include "Recorders.h"
#include "TestServers.h"

using namespace Orvalen;
using testsupport::ReferenceBackend;

namespace {

class TlsTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        sBackend = std::make_unique<ReferenceBackend>();
        // Its certificate names another host than the one connected to.
        sMisnamed = std::make_unique<ReferenceBackend>(
            std::vector<std::string>{"--tls-names", "DNS:other.invalid"});
    }
    static void TearDownTestSuite() {
        sBackend.reset();
        sMisnamed.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(sBackend->running());
        ASSERT_TRUE(sMisnamed->running());
        testsupport::sharedTestLog().clear();
        OrvalenBackendServer::setDebugLog(&testsupport::sharedTestLog());
        OrvalenDownloadManager::setDebugLog(&testsupport::sharedTestLog());
    }

    static std::unique_ptr<ReferenceBackend> sBackend;
    static std::unique_ptr<ReferenceBackend> sMisnamed;
};

std::unique_ptr<ReferenceBackend> TlsTest::sBackend;
std::unique_ptr<ReferenceBackend> TlsTest::sMisnamed;

}  // namespace

TEST_F(TlsTest, RequestsVerifyTheServerUnlessSkippingIsAsked) {
    OrvalenBackendServer* server = OrvalenBackendServer::getInstance();
    EXPECT_FALSE(server->connectToServer(sBackend->url(), false, 8));
    EXPECT_TRUE(testsupport::sharedTestLog().contains("curl_easy_perform() error"));
    EXPECT_TRUE(server->connectToServer(sBackend->url(), false, 8, sBackend->caFile()));
    // The CA file is replaced by every call, like the other settings.
    EXPECT_FALSE(server->connectToServer(sBackend->url(), false, 8));
    EXPECT_TRUE(server->connectToServer(sBackend->url(), true, 8));

    EXPECT_FALSE(server->connectToServer(sMisnamed->url(), false, 8, sMisnamed->caFile()));
    EXPECT_TRUE(server->connectToServer(sMisnamed->url(), true, 8));
    OrvalenBackendServer::destroyInstance();
}

TEST_F(TlsTest, DownloadsVerifyTheServerUnlessSkippingIsAsked) {
    sBackend->writePackage("tls.bin", testsupport::patternBytes(20000));
    sMisnamed->writePackage("tls.bin", testsupport::patternBytes(20000));
    auto parameter = std::make_shared<OrvalenDownloadParameter>();
    parameter->url = sBackend->packageUrl("tls.bin");
    auto misnamed = std::make_shared<OrvalenDownloadParameter>();
    misnamed->url = sMisnamed->packageUrl("tls.bin");

    struct Case {
        std::shared_ptr<OrvalenDownloadParameter> parameter;
        bool skip;
        std::string caFile;
        int32_t code;
    };
    const Case cases[] = {
        {parameter, false, "", E_ORVALEN_DOWNLOAD_FAILED},
        {parameter, false, sBackend->caFile(), E_ORVALEN_DOWNLOAD_NO_MD5},
        {parameter, true, "", E_ORVALEN_DOWNLOAD_NO_MD5},
        {misnamed, false, sMisnamed->caFile(), E_ORVALEN_DOWNLOAD_FAILED},
    };
    OrvalenDownloadManager* manager = OrvalenDownloadManager::getInstance();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parameter->url + (c.skip ? " skip" : " verify") + " ca=" + c.caFile);
        testsupport::TempDir dir;
        testsupport::DownloadRecorder recorder;
        manager->addDownloadTask(c.parameter, dir.path(), &recorder, c.skip, 8, c.caFile);
        ASSERT_TRUE(recorder.waitForFinish());
        EXPECT_EQ(recorder.code(), c.code);
    }
    OrvalenDownloadManager::destroyInstance();
}
