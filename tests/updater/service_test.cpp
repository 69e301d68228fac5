// OVUpdateService against the reference backend over HTTPS: whole attempts
// of checkUpdateAndDownload reported as signals, the reuse of the first
// attempt's settings, the library's messages in the updater log, and
// checkUpdate's endpoints.
#include <gtest/gtest.h>

#include <QFile>
#include <memory>
#include <vector>

#include "QtTestApp.h"
#include "ServiceAttempt.h"
#include "TestServers.h"
#include "common/OrvalenMd5.h"
#include "logging/OVLogMng.h"
#include "logging/OVLogger.h"
#include "service/OVUpdateService.h"

using testsupport::readFile;

namespace {

const char kPackageName[] = "peza-studio-1.3.0.7z";
const std::string kPackage = testsupport::patternBytes(400000, 7);
const char kManifest[] =
    R"({"packages": [{"packageCode": "LUMI_DESK", "versionName": "1.3.0", "versionValue": 130,
        "description": "Sharper keying", "file": "peza-studio-1.3.0.7z"}]})";

using Outcome = updatertest::AttemptOutcome;

class UpdateService : public testing::Test {
protected:
    static void SetUpTestSuite() {
        sBackend = std::make_unique<testsupport::ReferenceBackend>();
        OVLogMng::instance()->init("peza-update.txt");
        OVUpdateService* service = OVUpdateService::instance();
        service->setHost(QString::fromStdString(sBackend->url()));
        service->setCaFile(QString::fromStdString(sBackend->caFile()));
    }
    static void TearDownTestSuite() { sBackend.reset(); }

    void SetUp() override {
        ASSERT_TRUE(sBackend->running());
        ASSERT_TRUE(sBackend->reset());
        sBackend->writePackage(kPackageName, kPackage);
        sBackend->writeManifest(kManifest);
        QFile::remove(packagePath());
    }

    static testsupport::ReferenceBackend& backend() { return *sBackend; }
    static OVUpdateService& service() { return *OVUpdateService::instance(); }
    static QString packagePath() { return updatertest::studioFolder() + kPackageName; }
    static QString logText() {
        return QString::fromStdString(readFile(OVLogMng::instance()->logFilePath().toStdString()));
    }

    static Outcome attempt(const QString& softCode = "LUMI_DESK",
                           const QString& version = "1.2.0") {
        return updatertest::runAttempt(softCode, version);
    }

    static std::vector<testsupport::SeenRequest> seenAt(const std::string& path) {
        std::vector<testsupport::SeenRequest> matching;
        for (const auto& request : backend().seen()) {
            if (request.path.rfind(path, 0) == 0) matching.push_back(request);
        }
        return matching;
    }

private:
    static std::unique_ptr<testsupport::ReferenceBackend> sBackend;
};

std::unique_ptr<testsupport::ReferenceBackend> UpdateService::sBackend;

}  // namespace

TEST_F(UpdateService, UpgradeOnOfferSendsProgressThenZeroWithThePackageInStoreDir) {
    const Outcome outcome = attempt();
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.fileName, kPackageName);
    EXPECT_EQ(outcome.finishCount, 1);
    ASSERT_FALSE(outcome.progress.empty());
    for (int progress : outcome.progress) {
        EXPECT_GE(progress, 0);
        EXPECT_LE(progress, 100);
    }
    EXPECT_EQ(outcome.progress.back(), 100);
    EXPECT_EQ(readFile(packagePath().toStdString()), kPackage);

    EXPECT_EQ(service().result(), 0);
    EXPECT_EQ(service().fileName(), kPackageName);
    EXPECT_EQ(service().remoteVersion(), "1.3.0");
    EXPECT_EQ(service().releaseNotes(), "Sharper keying");
}

TEST_F(UpdateService, NoUpgradeGivesOneWithAnEmptyNameAndNoDownload) {
    backend().writeManifest(
        R"({"packages": [{"packageCode": "LUMI_DESK", "versionName": "1.2.0",
            "versionValue": 120, "file": "peza-studio-1.3.0.7z"}]})");
    const Outcome outcome = attempt();
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.code, 1);
    EXPECT_EQ(outcome.fileName, "");
    EXPECT_TRUE(outcome.progress.empty());
    EXPECT_EQ(service().result(), 1);
    EXPECT_TRUE(seenAt("/packages/").empty());
    EXPECT_TRUE(logText().contains(
        "【更新服务】queryUpgrade no upgrade or error:  E_ORVALEN_QUERY_NO_UPGRADE "));
}

TEST_F(UpdateService, OfferNotNewerThanTheInstalledVersionIsRefusedLikeNoUpgrade) {
    // The backend's version value says newer; the version names do not.
    // Nor do names that do not parse: they could hide a downgrade.
    for (const char* offered :
         {"1.2.0", "1.1.9", "v1.2", "1.2.0-hotfix", "1.3.0 ", "-1.3", "../../x"}) {
        SCOPED_TRACE(offered);
        ASSERT_TRUE(backend().reset());
        backend().writeManifest(
            std::string(R"({"packages": [{"packageCode": "LUMI_DESK", "versionName": ")") +
            offered + R"(", "versionValue": 130, "file": "peza-studio-1.3.0.7z"}]})");
        const Outcome outcome = attempt();
        ASSERT_TRUE(outcome.finished);
        EXPECT_EQ(outcome.code, 1);
        EXPECT_EQ(outcome.fileName, "");
        EXPECT_TRUE(seenAt("/packages/").empty());
    }
    EXPECT_TRUE(
        logText().contains("refused: the offered version \"1.1.9\" is not newer than the installed "
                           "version \"1.2.0\""));

    // 1.2.10 is newer than 1.2.0 (and than 1.2.9).
    ASSERT_TRUE(backend().reset());
    backend().writeManifest(R"({"packages": [{"packageCode": "LUMI_DESK", "versionName": "1.2.10",
        "versionValue": 130, "file": "peza-studio-1.3.0.7z"}]})");
    const Outcome newer = attempt();
    ASSERT_TRUE(newer.finished);
    EXPECT_EQ(newer.code, 0);
}

TEST_F(UpdateService, PackageSizeThatIsNotANonNegativeIntegerEndsWithSixBeforeAnyDownload) {
    for (const char* size : {"-1", "\"400000\"", "400000.0"}) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(backend().reset());
        backend().writeManifest(
            std::string(R"({"packages": [{"packageCode": "LUMI_DESK", "versionName": "1.3.0",)") +
            R"( "versionValue": 130, "packageSize": )" + size +
            R"(, "file": "peza-studio-1.3.0.7z"}]})");
        const Outcome outcome = attempt();
        ASSERT_TRUE(outcome.finished);
        EXPECT_EQ(outcome.code, 6);
        EXPECT_TRUE(seenAt("/packages/").empty());
    }
    EXPECT_TRUE(logText().contains("packageSize is not a non-negative integer"));
}

TEST_F(UpdateService, PackageNamedLikeTheSettingsFileIsRefusedWithFive) {
    const QByteArray settings =
        QByteArray::fromStdString(readFile(service().settingsFile().toStdString()));
    ASSERT_TRUE(settings.contains("host="));
    for (const char* name : {"update.ini", "UPDATE.INI"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(backend().reset());
        backend().writePackage(name, "[update]\nhost=https://attacker.example\ninsecureTls=1\n");
        backend().writeManifest(
            std::string(R"({"packages": [{"packageCode": "LUMI_DESK", "versionName": "1.3.0",)") +
            R"( "versionValue": 130, "file": ")" + name + R"("}]})");
        // Also with a digest that does not match, which deleted the file.
        ASSERT_TRUE(backend().setFaults(R"({"wrong_md5":true})"));
        const Outcome outcome = attempt();
        ASSERT_TRUE(outcome.finished);
        EXPECT_EQ(outcome.code, 5);
        EXPECT_TRUE(seenAt("/packages/").empty());
        EXPECT_EQ(QByteArray::fromStdString(readFile(service().settingsFile().toStdString())),
                  settings);
    }
}

TEST_F(UpdateService, AnnouncedSizeOfThreeGigabytesResumesThePartialPackage) {
    backend().writeManifest(R"({"packages": [{"packageCode": "LUMI_DESK", "versionName": "1.3.0",
        "versionValue": 130, "packageSize": 3000000000, "file": "peza-studio-1.3.0.7z"}]})");
    testsupport::writeFile(packagePath().toStdString(), kPackage.substr(0, 100000));
    const Outcome outcome = attempt();
    ASSERT_TRUE(outcome.finished);
    const auto downloads = seenAt("/packages/");
    ASSERT_FALSE(downloads.empty());
    EXPECT_EQ(downloads[0].range, "bytes=100000-");
}

TEST_F(UpdateService, Md5MismatchGivesTwoAndLeavesNoPackage) {
    ASSERT_TRUE(backend().setFaults(R"({"wrong_md5":true})"));
    const Outcome outcome = attempt();
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.code, 2);
    EXPECT_EQ(outcome.fileName, "");
    EXPECT_EQ(service().result(), 2);
    EXPECT_EQ(service().fileName(), "");
    EXPECT_FALSE(QFile::exists(packagePath()));
}

TEST_F(UpdateService, RefusedSigningKeyGivesThreeWithoutACheck) {
    ASSERT_TRUE(backend().setFaults(R"({"http_status":500,"path":"/api/v1/sign/"})"));
    const Outcome outcome = attempt();
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.code, 3);
    EXPECT_EQ(outcome.fileName, "");
    EXPECT_EQ(outcome.finishCount, 1);
    EXPECT_EQ(service().result(), 3);
    EXPECT_TRUE(seenAt("/api/v1/upgrade/").empty());
    EXPECT_TRUE(logText().contains("【更新服务】checkUpdateAndDownload init failed"));
}

TEST_F(UpdateService, LaterAttemptsKeepTheFirstAttemptsCodeAndVersion) {
    ASSERT_TRUE(attempt().finished);
    ASSERT_TRUE(backend().reset());
    const Outcome outcome = attempt("OTHER_CODE", "9.9.9");
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.code, 0);
    const auto checks = seenAt("/api/v1/upgrade/checkUpgrade");
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_NE(checks[0].body.find(R"("packageCode":"LUMI_DESK")"), std::string::npos);
    EXPECT_NE(checks[0].body.find(R"("versionValue":120)"), std::string::npos);
    EXPECT_TRUE(logText().contains("checkUpdateAndDownload init, version value= 120 , hostname= " +
                                   QString::fromStdString(backend().url()) +
                                   " ,softcode= LUMI_DESK "));
}

TEST_F(UpdateService, LibraryMessagesBecomeDebugRecordsOnlyWhileDebugIsAdmitted) {
    const QString tag = QStringLiteral("【升级服务打印】kzrLog buffer:");
    ASSERT_TRUE(backend().setFaults(R"({"http_status":500,"path":"/api/v1/sign/"})"));
    ASSERT_TRUE(attempt().finished);
    const QStringList lines = logText().split(u'\n');
    int forwarded = 0;
    for (const QString& line : lines) {
        if (!line.contains(tag)) continue;
        ++forwarded;
        EXPECT_TRUE(line.startsWith("DEBUG ")) << line.toStdString();
    }
    EXPECT_GT(forwarded, 0);
    EXPECT_TRUE(logText().contains(tag + " Http response code error [500]"));

    OVLogging::Logger::instance().setLevel(OVLogging::InfoLevel);
    ASSERT_TRUE(backend().reset());
    ASSERT_TRUE(backend().setFaults(R"({"http_status":500,"path":"/api/v1/sign/"})"));
    const Outcome quiet = attempt();
    OVLogging::Logger::instance().setLevel(OVLogging::DebugLevel);
    ASSERT_TRUE(quiet.finished);
    EXPECT_EQ(quiet.code, 3);
    EXPECT_EQ(logText().count(tag), forwarded);
}

TEST_F(UpdateService, CheckUpdateAsksTheTestEndpointForSnModeTwoOnly) {
    qputenv("OV_UPDATE_TEST_ENDPOINT", QByteArray::fromStdString(backend().url()));
    qputenv("OV_UPDATE_PRODUCTION_ENDPOINT", "https://127.0.0.1:1");
    QString offered;
    EXPECT_EQ(service().checkUpdate(2, "SN-42", "LUMI_DESK", "1.2.0", offered), 0);
    EXPECT_EQ(offered, "1.3.0");
    EXPECT_EQ(service().releaseNotes(), "Sharper keying");
    const auto checks = seenAt("/api/v1/upgrade/checkUpgrade");
    ASSERT_EQ(checks.size(), 1u);
    bool model = false;
    bool serial = false;
    for (const std::string& header : checks[0].headers) {
        model = model || header == "DEVICE-MODEL:7K_QM_RTc4";
        serial = serial || header == "DEVICE-SN:SN-42";
    }
    EXPECT_TRUE(model);
    EXPECT_TRUE(serial);
    EXPECT_TRUE(seenAt("/packages/").empty());

    // Production cannot be reached: the result stays as it was.
    ASSERT_TRUE(backend().reset());
    QString untouched = "unchanged";
    EXPECT_EQ(service().checkUpdate(0, "SN-42", "LUMI_DESK", "1.2.0", untouched), 0);
    EXPECT_EQ(untouched, "unchanged");
    EXPECT_TRUE(backend().seen().empty());
    qunsetenv("OV_UPDATE_TEST_ENDPOINT");
    qunsetenv("OV_UPDATE_PRODUCTION_ENDPOINT");

    // The next attempt sets the library up again.
    const Outcome outcome = attempt();
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.code, 0);
}
