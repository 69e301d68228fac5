// Download tasks against the reference backend over HTTPS: finish codes,
// resume, retry and the server faults.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "OrvalenBackendServer/OrvalenBackendServer.h"
#include "OrvalenBackendServer/OrvalenDownloadManager.h"
#include "ReferenceBackendTest.h"
#include "common/OrvalenMd5.h"

using namespace Orvalen;
using testsupport::DownloadRecorder;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

const std::string kPackage = testsupport::patternBytes(300000);
const std::string kPackageMd5 = OrvalenMd5().getFromString(kPackage);

std::shared_ptr<OrvalenDownloadParameter> parameter(const std::string& url, const std::string& md5,
                                                    int64_t size) {
    auto p = std::make_shared<OrvalenDownloadParameter>();
    p->url = url;
    p->md5 = md5;
    p->fileSize = size;
    return p;
}

class DownloadTaskTest : public testsupport::ReferenceBackendTest {
protected:
    void SetUp() override {
        ReferenceBackendTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_FALSE(mDir.path().empty());
        backend().writePackage("pkg.7z", kPackage);
        OrvalenDownloadManager::setDebugLog(&testsupport::sharedTestLog());
        mManager = OrvalenDownloadManager::getInstance();
    }
    void TearDown() override { OrvalenDownloadManager::destroyInstance(); }

    // Runs one task to its finish and returns its code.
    int32_t download(const std::shared_ptr<OrvalenDownloadParameter>& p, DownloadRecorder& recorder,
                     const std::string& directory) {
        mManager->addDownloadTask(p, directory, &recorder, false, 8, backend().caFile());
        EXPECT_TRUE(recorder.waitForFinish());
        return recorder.code();
    }
    int32_t download(const std::shared_ptr<OrvalenDownloadParameter>& p) {
        return download(p, mRecorder, mDir.path());
    }
    std::string local(const std::string& name = "pkg.7z") { return mDir.file(name); }
    // The test package with its MD5 and size.
    static std::shared_ptr<OrvalenDownloadParameter> package(const std::string& name = "pkg.7z") {
        return parameter(backend().packageUrl(name), kPackageMd5,
                         static_cast<int64_t>(kPackage.size()));
    }

    testsupport::TempDir mDir;
    DownloadRecorder mRecorder;
    OrvalenDownloadManager* mManager = nullptr;
};

}  // namespace

TEST_F(DownloadTaskTest, MatchingMd5KeepsTheFileUnderItsNameWithoutTheQuery) {
    EXPECT_EQ(download(package("pkg.7z?token=a1&v=2")), E_ORVALEN_DOWNLOAD_MD5_OK);
    EXPECT_EQ(mRecorder.fileName(), "pkg.7z");
    EXPECT_EQ(readFile(local()), kPackage);
    EXPECT_EQ(mRecorder.finishCount(), 1);

    const auto percents = mRecorder.percents();
    ASSERT_FALSE(percents.empty());
    for (double percent : percents) {
        EXPECT_GE(percent, 0.0);
        EXPECT_LE(percent, 100.0);
    }
    EXPECT_EQ(percents.back(), 100.0);
    for (const std::string& name : mRecorder.progressNames()) EXPECT_EQ(name, "pkg.7z");
    EXPECT_GT(mRecorder.speedCount(), 0);
}

TEST_F(DownloadTaskTest, Md5ComparisonIgnoresLetterCase) {
    std::string upper = kPackageMd5;
    for (char& c : upper) c = static_cast<char>(toupper(c));
    EXPECT_EQ(download(parameter(backend().packageUrl("pkg.7z"), upper, -1)),
              E_ORVALEN_DOWNLOAD_MD5_OK);
}

TEST_F(DownloadTaskTest, WithoutMd5AndSizeTheFileIsKeptAndProgressStaysInRange) {
    EXPECT_EQ(download(parameter(backend().packageUrl("pkg.7z"), "", -1)),
              E_ORVALEN_DOWNLOAD_NO_MD5);
    EXPECT_EQ(mRecorder.fileName(), "pkg.7z");
    EXPECT_EQ(readFile(local()), kPackage);
    for (double percent : mRecorder.percents()) {
        EXPECT_GE(percent, 0.0);
        EXPECT_LE(percent, 100.0);
    }
    EXPECT_EQ(mRecorder.percents().back(), 100.0);
}

TEST_F(DownloadTaskTest, WrongMd5DeletesTheFile) {
    EXPECT_EQ(download(parameter(backend().packageUrl("pkg.7z"), OrvalenMd5().getFromString("x"),
                                 static_cast<int64_t>(kPackage.size()))),
              E_ORVALEN_DOWNLOAD_MD5_DIFFERS);
    EXPECT_EQ(mRecorder.fileName(), "");
    EXPECT_NE(access(local().c_str(), F_OK), 0);
    EXPECT_TRUE(logged("check md5 error, I will delete it in local"));
}

TEST_F(DownloadTaskTest, ResumesAPartialFileFromItsLength) {
    writeFile(local(), kPackage.substr(0, 40000));
    EXPECT_EQ(download(package()), E_ORVALEN_DOWNLOAD_MD5_OK);
    EXPECT_EQ(readFile(local()), kPackage);
    const auto seen = backend().seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].range, "bytes=40000-");
    EXPECT_EQ(seen[0].status, 206);
    // Progress counts the bytes already there.
    for (double percent : mRecorder.percents()) {
        if (percent > 0) {
            EXPECT_GE(percent, 40000.0 / kPackage.size() * 100 - 1e-9);
        }
    }
}

TEST_F(DownloadTaskTest, CompleteLocalFileIsCheckedWithoutNewBytes) {
    writeFile(local(), kPackage);
    EXPECT_EQ(download(package()), E_ORVALEN_DOWNLOAD_MD5_OK);
    EXPECT_EQ(readFile(local()), kPackage);
    ASSERT_EQ(backend().seen().size(), 1u);
    EXPECT_EQ(backend().seen()[0].status, 416);
}

TEST_F(DownloadTaskTest, LocalFileLongerThanExpectedOrOfUnknownSizeStartsOver) {
    const int64_t sizes[] = {static_cast<int64_t>(kPackage.size()), -1};
    for (int64_t size : sizes) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(backend().reset());
        const std::string stale = size < 0 ? kPackage.substr(0, 1000) : kPackage + "tail";
        writeFile(local(), stale);
        DownloadRecorder recorder;
        EXPECT_EQ(download(parameter(backend().packageUrl("pkg.7z"), kPackageMd5, size), recorder,
                           mDir.path()),
                  E_ORVALEN_DOWNLOAD_MD5_OK);
        EXPECT_EQ(readFile(local()), kPackage);
        ASSERT_EQ(backend().seen().size(), 1u);
        EXPECT_EQ(backend().seen()[0].range, "");
    }
}

TEST_F(DownloadTaskTest, ServerIgnoringTheRangeRestartsTheFile) {
    writeFile(local(), std::string(30000, 'J'));
    ASSERT_TRUE(backend().setFaults(R"({"ignore_range":true})"));
    EXPECT_EQ(download(package()), E_ORVALEN_DOWNLOAD_MD5_OK);
    EXPECT_EQ(readFile(local()), kPackage);
    ASSERT_EQ(backend().seen().size(), 1u);
    EXPECT_EQ(backend().seen()[0].range, "bytes=30000-");
    EXPECT_EQ(backend().seen()[0].status, 200);
    for (double percent : mRecorder.percents()) EXPECT_LE(percent, 100.0);
}

TEST_F(DownloadTaskTest, DroppedConnectionResumesOnTheRetry) {
    ASSERT_TRUE(backend().setFaults(R"({"drop_after_bytes":100000,"times":1})"));
    EXPECT_EQ(download(package()), E_ORVALEN_DOWNLOAD_MD5_OK);
    EXPECT_EQ(readFile(local()), kPackage);
    const auto seen = backend().seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].range, "");
    EXPECT_EQ(seen[1].range.rfind("bytes=", 0), 0u);
    const long resumedAt = std::stol(seen[1].range.substr(6));
    EXPECT_GT(resumedAt, 0);
    EXPECT_LE(resumedAt, 100000);
    EXPECT_TRUE(logged("fail, count = 0"));
}

TEST_F(DownloadTaskTest, ErrorStatusIsRetriedOnceAfterAPauseAndNeverWritten) {
    const std::string partial = kPackage.substr(0, 5000);
    writeFile(local(), partial);
    ASSERT_TRUE(backend().setFaults(R"({"http_status":404})"));
    EXPECT_EQ(download(package()), E_ORVALEN_DOWNLOAD_FAILED);
    EXPECT_EQ(mRecorder.fileName(), "");
    EXPECT_EQ(readFile(local()), partial);
    EXPECT_TRUE(logged("Http response code error [404]"));
    const auto seen = backend().seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_GE(seen[1].time - seen[0].time, 0.9);
    for (double percent : mRecorder.percents()) EXPECT_LT(percent, 100.0);
}

TEST_F(DownloadTaskTest, StoppingThePoolEndsASlowDownloadWithoutRetryAndKeepsThePart) {
    // At 20 kB/s the package would take 15 s.
    ASSERT_TRUE(backend().setFaults(R"({"throttle_bps":20000})"));
    mManager->addDownloadTask(package(), mDir.path(), &mRecorder, false, 8, backend().caFile());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (mRecorder.percents().empty() || mRecorder.percents().back() <= 0) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    OrvalenDownloadManager::destroyInstance();
    EXPECT_EQ(mRecorder.finishCount(), 1);
    EXPECT_EQ(mRecorder.code(), E_ORVALEN_DOWNLOAD_FAILED);
    const std::string part = readFile(local());
    EXPECT_GT(part.size(), 0u);
    EXPECT_LT(part.size(), kPackage.size());
    EXPECT_EQ(part, kPackage.substr(0, part.size()));
    EXPECT_FALSE(logged("fail, count = 0"));
}

TEST_F(DownloadTaskTest, TransferPastItsTimeLimitFailsAfterOneRetryAndKeepsThePart) {
    // At 20 kB/s the package takes 15 s; the limit here is about 1.3 s.
    ASSERT_TRUE(backend().setFaults(R"({"throttle_bps":20000})"));
    auto p = package();
    p->timeLimitBaseSeconds = 1;
    p->minimumBytesPerSecond = 1 << 20;
    EXPECT_EQ(download(p), E_ORVALEN_DOWNLOAD_FAILED);
    EXPECT_TRUE(logged("fail, count = 0"));
    const std::string part = readFile(local());
    EXPECT_GT(part.size(), 0u);
    EXPECT_LT(part.size(), kPackage.size());
    EXPECT_EQ(part, kPackage.substr(0, part.size()));
}

TEST_F(DownloadTaskTest, BodyLongerThanTheAnnouncedSizeIsStoppedThereAndTheMd5Decides) {
    const size_t announced = 200000;
    const std::string head = kPackage.substr(0, announced);
    // The MD5 of the announced bytes: they are kept.
    EXPECT_EQ(download(parameter(backend().packageUrl("pkg.7z"), OrvalenMd5().getFromString(head),
                                 static_cast<int64_t>(announced))),
              E_ORVALEN_DOWNLOAD_MD5_OK);
    EXPECT_EQ(readFile(local()), head);
    EXPECT_TRUE(logged("body longer than the announced 200000 bytes, stopped there"));
    // The MD5 of the whole body: the file is refused.
    DownloadRecorder recorder;
    EXPECT_EQ(download(parameter(backend().packageUrl("pkg.7z"), kPackageMd5,
                                 static_cast<int64_t>(announced)),
                       recorder, mDir.path()),
              E_ORVALEN_DOWNLOAD_MD5_DIFFERS);
    EXPECT_NE(access(local().c_str(), F_OK), 0);
}

TEST_F(DownloadTaskTest, AnnouncedSizeOfThreeGigabytesResumesAPartialFile) {
    writeFile(local(), kPackage.substr(0, 40000));
    download(parameter(backend().packageUrl("pkg.7z"), kPackageMd5, 3000000000LL));
    const auto seen = backend().seen();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].range, "bytes=40000-");
}

TEST_F(DownloadTaskTest, RefusedAddressLeavesNoEmptyFile) {
    const std::string urls[] = {"file:///etc/hostname", "ftp://127.0.0.1:1/pkg.7z"};
    for (const std::string& url : urls) {
        SCOPED_TRACE(url);
        DownloadRecorder recorder;
        EXPECT_EQ(download(parameter(url, "", -1), recorder, mDir.path()),
                  E_ORVALEN_DOWNLOAD_FAILED);
    }
    EXPECT_NE(access(mDir.file("hostname").c_str(), F_OK), 0);
    EXPECT_NE(access(local().c_str(), F_OK), 0);
    // A partial file that was there stays for a resume.
    writeFile(local(), kPackage.substr(0, 10));
    DownloadRecorder recorder;
    EXPECT_EQ(download(parameter("ftp://127.0.0.1:1/pkg.7z", "", 100), recorder, mDir.path()),
              E_ORVALEN_DOWNLOAD_FAILED);
    EXPECT_EQ(readFile(local()), kPackage.substr(0, 10));
}

TEST_F(DownloadTaskTest, ReservedLocalNameFinishesWithFiveAndTouchesNothing) {
    writeFile(mDir.file("UPDATE.ini"), "[update]\nhost=kept\n");
    backend().writePackage("Update.INI", "replaced");
    auto p = parameter(backend().packageUrl("Update.INI"), "", -1);
    p->reservedNames = {"update.ini"};
    EXPECT_EQ(download(p), E_ORVALEN_DOWNLOAD_BAD_URL);
    EXPECT_EQ(readFile(mDir.file("UPDATE.ini")), "[update]\nhost=kept\n");
    EXPECT_TRUE(backend().seen().empty());
}

TEST_F(DownloadTaskTest, EmptyUrlFinishesWithFourAndNoRequest) {
    EXPECT_EQ(download(parameter("", "", -1)), E_ORVALEN_DOWNLOAD_NO_URL);
    // The task logs after it reports; stopping the pool waits for it.
    OrvalenDownloadManager::destroyInstance();
    EXPECT_TRUE(logged("input path link is null Run exit!"));
    EXPECT_TRUE(backend().seen().empty());
}

TEST_F(DownloadTaskTest, MalformedUrlOrNoFileNameFinishesWithFive) {
    const std::string urls[] = {
        "https://127.0.0.1:99999999/pkg.7z",
        backend().packageUrl(""),
        backend().packageUrl(".."),
        backend().packageUrl("?name=pkg.7z"),
    };
    for (const std::string& url : urls) {
        SCOPED_TRACE(url);
        DownloadRecorder recorder;
        EXPECT_EQ(download(parameter(url, "", -1), recorder, mDir.path()),
                  E_ORVALEN_DOWNLOAD_BAD_URL);
        EXPECT_EQ(recorder.fileName(), "");
    }
    EXPECT_TRUE(backend().seen().empty());
}

TEST_F(DownloadTaskTest, UnopenableLocalFileFinishesWithSix) {
    // A plain file where the directory should be.
    writeFile(mDir.file("blocked"), "x");
    DownloadRecorder recorder;
    EXPECT_EQ(
        download(parameter(backend().packageUrl("pkg.7z"), "", -1), recorder, mDir.file("blocked")),
        E_ORVALEN_DOWNLOAD_FILE_NOT_OPENED);
    EXPECT_TRUE(logged("fopen"));
}

TEST_F(DownloadTaskTest, WriteErrorDeletesTheFileAndFinishesWithSeven) {
    // A known size keeps the (empty-looking) link in place.
    ASSERT_EQ(symlink("/dev/full", local().c_str()), 0);
    EXPECT_EQ(download(parameter(backend().packageUrl("pkg.7z"), "",
                                 static_cast<int64_t>(kPackage.size()))),
              E_ORVALEN_DOWNLOAD_WRITE_ERROR);
    EXPECT_EQ(mRecorder.fileName(), "");
    EXPECT_NE(access(local().c_str(), F_OK), 0);
    EXPECT_EQ(access("/dev/full", F_OK), 0);
}

TEST_F(DownloadTaskTest, DirectoryLevelsAreCreatedWithEitherSeparator) {
    const std::string directory = mDir.path() + "/a\\b/c";
    EXPECT_EQ(
        download(parameter(backend().packageUrl("pkg.7z"), kPackageMd5, -1), mRecorder, directory),
        E_ORVALEN_DOWNLOAD_MD5_OK);
    EXPECT_EQ(readFile(mDir.path() + "/a/b/c/pkg.7z"), kPackage);
}

TEST_F(DownloadTaskTest, SixTasksRunAtOnce) {
    DownloadRecorder recorders[6];
    for (int i = 0; i < 6; ++i) {
        const std::string name = "pkg" + std::to_string(i) + ".7z";
        backend().writePackage(name, kPackage);
        mManager->addDownloadTask(parameter(backend().packageUrl(name), kPackageMd5, -1),
                                  mDir.path() + "/shared/level", &recorders[i], false, 8,
                                  backend().caFile());
    }
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(recorders[i].waitForFinish());
        EXPECT_EQ(recorders[i].code(), E_ORVALEN_DOWNLOAD_MD5_OK);
        EXPECT_EQ(recorders[i].finishCount(), 1);
    }
}

TEST_F(DownloadTaskTest, BackendRecordDrivesTheDownloadWhateverTheCaseOfItsMd5) {
    backend().writeManifest(R"({"packages":[{"packageCode":"LUMI_DESK","versionName":"1.3.0",
        "versionValue":130,"file":"pkg.7z"}]})");
    struct Row {
        const char* faults;
        int32_t code;
    };
    const Row rows[] = {{"{}", E_ORVALEN_DOWNLOAD_MD5_OK},
                        {R"({"upper_md5":true})", E_ORVALEN_DOWNLOAD_MD5_OK},
                        {R"({"wrong_md5":true})", E_ORVALEN_DOWNLOAD_MD5_DIFFERS}};
    OrvalenBackendServer::setDebugLog(&testsupport::sharedTestLog());
    OrvalenBackendServer* server = OrvalenBackendServer::getInstance();
    ASSERT_TRUE(server->connectToServer(backend().url(), false, 8, backend().caFile()));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.faults);
        ASSERT_TRUE(backend().setFaults(row.faults));
        OrvalenOtaReceived received;
        ASSERT_EQ(server->queryUpgrade(received, "LUMI_DESK", 120, ""),
                  E_ORVALEN_QUERY_HAS_UPGRADE);
        DownloadRecorder recorder;
        EXPECT_EQ(download(parameter(received.fileUrl, received.fileMd5, received.packageSize),
                           recorder, mDir.path()),
                  row.code);
    }
    OrvalenBackendServer::destroyInstance();
}
