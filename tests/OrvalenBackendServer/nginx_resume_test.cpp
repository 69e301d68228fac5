// A second, independent server: nginx resumes a download that the reference
// backend cut off twice.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "OrvalenBackendServer/OrvalenDownloadManager.h"
#include "Recorders.h"
#include "TestServers.h"
#include "common/OrvalenMd5.h"

using namespace Orvalen;

TEST(NginxResume, ResumesOverHttpsWhereTheFirstServerDroppedTheConnection) {
    testsupport::ReferenceBackend backend;
    ASSERT_TRUE(backend.running());
    const std::string package = testsupport::patternBytes(3 << 20);
    backend.writePackage("studio.7z", package);
    testsupport::NginxServer nginx(backend.packagePath(""), backend.certFile(), backend.keyFile());
    ASSERT_TRUE(nginx.running());

    testsupport::sharedTestLog().clear();
    OrvalenDownloadManager::setDebugLog(&testsupport::sharedTestLog());
    OrvalenDownloadManager* manager = OrvalenDownloadManager::getInstance();
    testsupport::TempDir dir;
    const std::string md5 = OrvalenMd5().getFromString(package);

    // Both attempts of the first task are cut after 1 MiB in all.
    ASSERT_TRUE(backend.setFaults(R"({"drop_after_bytes":524288,"times":2})"));
    auto first = std::make_shared<OrvalenDownloadParameter>();
    first->url = backend.packageUrl("studio.7z");
    first->md5 = md5;
    first->fileSize = static_cast<int64_t>(package.size());
    testsupport::DownloadRecorder failed;
    manager->addDownloadTask(first, dir.path(), &failed, false, 8, backend.caFile());
    ASSERT_TRUE(failed.waitForFinish());
    EXPECT_EQ(failed.code(), E_ORVALEN_DOWNLOAD_FAILED);
    const std::string partial = testsupport::readFile(dir.file("studio.7z"));
    ASSERT_GT(partial.size(), 0u);
    ASSERT_LT(partial.size(), package.size());
    EXPECT_EQ(partial, package.substr(0, partial.size()));

    auto second = std::make_shared<OrvalenDownloadParameter>(*first);
    second->url = nginx.httpsUrl() + "/studio.7z";
    testsupport::DownloadRecorder resumed;
    manager->addDownloadTask(second, dir.path(), &resumed, false, 8, backend.caFile());
    ASSERT_TRUE(resumed.waitForFinish());
    EXPECT_EQ(resumed.code(), E_ORVALEN_DOWNLOAD_MD5_OK);
    EXPECT_EQ(testsupport::readFile(dir.file("studio.7z")), package);
    OrvalenDownloadManager::destroyInstance();

    const std::string expectedLine = "206 \"bytes=" + std::to_string(partial.size()) + "-\" " +
                                     std::to_string(package.size() - partial.size());
    EXPECT_NE(nginx.accessLog().find(expectedLine), std::string::npos) << nginx.accessLog();
}
