// Whole update attempts in a process of their own, through the
// update-service-check driver: the settings of the first attempt are those of
// the process, and the process must end while a download still runs.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "TestServers.h"

using testsupport::ChildProcess;
using testsupport::TempDir;

namespace {

struct DriverRun {
    std::vector<std::string> lines;
    int status = -1;
    bool has(const std::string& line) const {
        for (const std::string& l : lines) {
            if (l == line) return true;
        }
        return false;
    }
    bool hasPrefix(const std::string& prefix) const {
        for (const std::string& l : lines) {
            if (l.rfind(prefix, 0) == 0) return true;
        }
        return false;
    }
};

class ServiceProcess : public testing::Test {
protected:
    // The driver with a home folder of its own; its standard error (the
    // debugger output of the log, libcurl's trace) goes to a file.
    std::unique_ptr<ChildProcess> start(const std::vector<std::string>& arguments,
                                        const char* program = UPDATE_SERVICE_CHECK) {
        const std::string home = mHome.path();
        std::vector<std::string> argv = {"env",
                                         "HOME=" + home,
                                         "XDG_DATA_HOME=" + home + "/.local/share",
                                         "XDG_CONFIG_HOME=" + home + "/.config",
                                         "sh",
                                         "-c",
                                         "exec \"$@\" 2>>\"$0\"",
                                         mHome.file("stderr.txt"),
                                         program};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return std::make_unique<ChildProcess>(argv);
    }
    // The child's lines up to the end of its output (blank lines left out),
    // or up to 90 s.
    static std::vector<std::string> readAll(ChildProcess& child) {
        std::vector<std::string> lines;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
        while (!child.outputEnded() && std::chrono::steady_clock::now() < deadline) {
            const std::string line = child.readLine(1000);
            if (!line.empty()) lines.push_back(line);
        }
        return lines;
    }
    DriverRun run(const std::vector<std::string>& arguments,
                  const char* program = UPDATE_SERVICE_CHECK) {
        auto child = start(arguments, program);
        DriverRun result;
        result.lines = readAll(*child);
        result.status = child->wait();
        return result;
    }
    std::string studio(const std::string& name) const {
        return mHome.file(".local/share/peza-studio/" + name);
    }

    TempDir mHome;
};

}  // namespace

TEST_F(ServiceProcess, UnreachableHostGivesThreeAndNoProgress) {
    const std::string host = "https://127.0.0.1:" + std::to_string(testsupport::freePort());
    const DriverRun result = run({"--host", host, "--version", "1.2.0"});
    EXPECT_TRUE(result.has("sigDownloadFinishBack 3 \"\"")) << testing::PrintToString(result.lines);
    EXPECT_TRUE(result.hasPrefix("result 3,"));
    EXPECT_FALSE(result.hasPrefix("sigDownloadProgressBack"));
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(testsupport::readFile(studio("logs/peza-update.txt"))
                  .find("【更新服务】checkUpdateAndDownload init failed"),
              std::string::npos);
}

TEST_F(ServiceProcess, CertificateOfAnotherAuthorityGivesThree) {
    testsupport::ReferenceBackend backend;
    ASSERT_TRUE(backend.running());
    TempDir other;
    ASSERT_TRUE(testsupport::makeCertificate(other.file("ca.pem"), other.file("key.pem")));
    const DriverRun result = run({"--host", backend.url(), "--ca", other.file("ca.pem")});
    EXPECT_TRUE(result.has("sigDownloadFinishBack 3 \"\"")) << testing::PrintToString(result.lines);
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(backend.seen().empty());
}

TEST_F(ServiceProcess, EndingTheProgramDuringADownloadStopsItAndKeepsThePart) {
    testsupport::ReferenceBackend backend;
    ASSERT_TRUE(backend.running());
    const std::string package = testsupport::patternBytes(2000000);
    backend.writePackage("peza-studio-1.3.0.7z", package);
    backend.writeManifest(
        R"({"packages": [{"packageCode": "LUMI_DESK", "versionName": "1.3.0",
            "versionValue": 130, "file": "peza-studio-1.3.0.7z"}]})");
    // At 20 kB/s the whole package would take 100 s.
    ASSERT_TRUE(backend.setFaults(R"({"throttle_bps":20000,"path":"/packages/"})"));

    auto child = start({"--host", backend.url(), "--ca", backend.caFile(), "--version", "1.2.0",
                        "--quit-on-progress"});
    const std::vector<std::string> lines = readAll(*child);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (child->alive() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_FALSE(child->alive()) << "the program did not end while its download ran";

    bool progressed = false;
    for (const std::string& line : lines) {
        progressed = progressed || line.rfind("sigDownloadProgressBack", 0) == 0;
        EXPECT_EQ(line.rfind("sigDownloadFinishBack", 0), std::string::npos);
    }
    EXPECT_TRUE(progressed);
    const std::string part = testsupport::readFile(studio("peza-studio-1.3.0.7z"));
    EXPECT_GT(part.size(), 0u);
    EXPECT_LT(part.size(), package.size());
    EXPECT_EQ(part, package.substr(0, part.size()));
    EXPECT_NE(testsupport::readFile(studio("logs/peza-update.txt"))
                  .find("【后台更新服务】onDownloadFinish back= 3 "),
              std::string::npos);
}

// Signed packages: nothing falls back to plain HTTP.
TEST_F(ServiceProcess, WithAKeyBuiltInAPlainHttpHostIsRefusedBeforeAnyRequest) {
    testsupport::ReferenceBackend plain({"--http"});
    ASSERT_TRUE(plain.running());
    const DriverRun result =
        run({"--host", plain.url(), "--version", "1.2.0"}, UPDATE_SERVICE_CHECK_TESTKEYS);
    EXPECT_TRUE(result.has("sigDownloadFinishBack 3 \"\"")) << testing::PrintToString(result.lines);
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(plain.seen().empty());
    EXPECT_NE(testsupport::readFile(studio("logs/peza-update.txt"))
                  .find("【更新服务】refused: update/host is not https while a package signing key "
                        "is built in; no request made: " +
                        plain.url()),
              std::string::npos);
}

TEST_F(ServiceProcess, AnHttpPackageAddressFromAnHttpsHostIsRefusedUnlessInsecureTls) {
    testsupport::ReferenceBackend backend;
    testsupport::ReferenceBackend plain({"--http"});
    ASSERT_TRUE(backend.running());
    ASSERT_TRUE(plain.running());
    const std::string package = testsupport::patternBytes(100000, 5);
    plain.writePackage("peza-studio-1.3.0.7z", package);
    backend.writePackage("peza-studio-1.3.0.7z", package);
    backend.writeManifest(
        R"({"packages": [{"packageCode": "LUMI_DESK", "versionName": "1.3.0", "versionValue": 130,
            "file": "peza-studio-1.3.0.7z", "fileUrl": ")" +
        plain.packageUrl("peza-studio-1.3.0.7z") + R"("}]})");

    const DriverRun refused =
        run({"--host", backend.url(), "--ca", backend.caFile(), "--version", "1.2.0"});
    EXPECT_TRUE(refused.has("sigDownloadFinishBack 3 \"\""))
        << testing::PrintToString(refused.lines);
    EXPECT_TRUE(plain.seen().empty());
    EXPECT_NE(testsupport::readFile(studio("logs/peza-update.txt"))
                  .find("【更新服务】refused: package address is not https while update/host is "
                        "https (update/insecureTls=1 allows it): " +
                        plain.packageUrl("peza-studio-1.3.0.7z")),
              std::string::npos);

    // Same home folder, so update.ini keeps host and certificate.
    const DriverRun allowed = run({"--insecure", "--version", "1.2.0"});
    EXPECT_TRUE(allowed.has("sigDownloadFinishBack 0 \"peza-studio-1.3.0.7z\""))
        << testing::PrintToString(allowed.lines);
    EXPECT_EQ(testsupport::readFile(studio("peza-studio-1.3.0.7z")), package);
}
