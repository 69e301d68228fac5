// Signed packages through OVUpdateService against the reference backend: with
// test keys built into this program, a signed package is delivered and every
// refusal ends the attempt with code 2, the package deleted and the reason in
// the log; without a key, an unsigned package is delivered as before.
#include <gtest/gtest.h>

#include <QFile>
#include <cstdio>
#include <functional>
#include <memory>

#include "OrvalenBackendServer/OrvalenPackageSignature.h"
#include "QtTestApp.h"
#include "ServiceAttempt.h"
#include "TestServers.h"
#include "TestSigningKeys.h"
#include "logging/OVLogMng.h"
#include "service/OVPackageSigning.h"
#include "service/OVUpdateService.h"

using testsupport::readFile;

namespace {

const char kPackageName[] = "peza-studio-1.3.0.7z";
const std::string kPackage = testsupport::patternBytes(300000, 11);
const std::string kBuiltIn = std::string(testkeys::kPublicA) + "," + testkeys::kPublicB;

std::string manifest(const std::string& versionName) {
    return R"({"packages": [{"packageCode": "LUMI_DESK", "versionName": ")" + versionName +
           R"(", "versionValue": 130, "file": "peza-studio-1.3.0.7z"}]})";
}

class SignedPackages : public testing::Test {
protected:
    static void SetUpTestSuite() {
        sBackend = std::make_unique<testsupport::ReferenceBackend>();
        OVLogMng::instance()->init("peza-update.txt");
        OVUpdateService* service = OVUpdateService::instance();
        service->setHost(QString::fromStdString(sBackend->url()));
        service->setCaFile(QString::fromStdString(sBackend->caFile()));
    }
    static void TearDownTestSuite() {
        setBuiltInSigningKeys("");
        sBackend.reset();
    }

    void SetUp() override {
        ASSERT_TRUE(sBackend->running());
        startOver();
    }

    // An unsigned package offered as 1.3.0, no faults, none downloaded yet,
    // keys A and B built in.
    static void startOver() {
        ASSERT_TRUE(sBackend->reset());
        std::remove(sBackend->packagePath(std::string(kPackageName) + ".sig").c_str());
        sBackend->writePackage(kPackageName, kPackage);
        sBackend->writeManifest(manifest("1.3.0"));
        QFile::remove(packagePath());
        setBuiltInSigningKeys(kBuiltIn);
    }

    static testsupport::ReferenceBackend& backend() { return *sBackend; }
    static QString packagePath() { return updatertest::studioFolder() + kPackageName; }
    static QString logText() {
        return QString::fromStdString(readFile(OVLogMng::instance()->logFilePath().toStdString()));
    }
    // Signs the package now on the server, as LUMI_DESK of the given version,
    // and puts the signature beside it.
    static void sign(const char* secretKey, const std::string& version = "1.3.0") {
        uint64_t size = 0;
        std::string sha256;
        const std::string path = backend().packagePath(kPackageName);
        ASSERT_TRUE(Orvalen::hashPackageFile(path, size, sha256));
        const std::string signature = Orvalen::signStatement(
            secretKey, Orvalen::packageStatement("LUMI_DESK", version, size, sha256));
        ASSERT_FALSE(signature.empty());
        backend().writePackage(std::string(kPackageName) + ".sig", signature + "\n");
    }
    // One attempt and the log lines it added.
    static updatertest::AttemptOutcome attempt(QString& log) {
        const int before = logText().size();
        updatertest::AttemptOutcome outcome = updatertest::runAttempt();
        log = logText().mid(before);
        return outcome;
    }

private:
    static std::unique_ptr<testsupport::ReferenceBackend> sBackend;
};

std::unique_ptr<testsupport::ReferenceBackend> SignedPackages::sBackend;

}  // namespace

TEST_F(SignedPackages, ASignedPackageIsDeliveredUnderEitherBuiltInKey) {
    const struct {
        const char* secretKey;
        const char* logged;
    } keys[] = {{testkeys::kSecretA, "package signature verified with built-in key 1 of 2"},
                {testkeys::kSecretB, "package signature verified with built-in key 2 of 2"}};
    for (const auto& key : keys) {
        QFile::remove(packagePath());
        sign(key.secretKey);
        QString log;
        const updatertest::AttemptOutcome outcome = attempt(log);
        ASSERT_TRUE(outcome.finished);
        EXPECT_EQ(outcome.code, 0) << key.logged;
        EXPECT_EQ(outcome.fileName, kPackageName);
        EXPECT_EQ(updatertest::readFile(packagePath()).toStdString(), kPackage);
        EXPECT_TRUE(log.contains(key.logged)) << log.toStdString();
        EXPECT_TRUE(log.contains("package statement: LUMI_DESK\\n1.3.0\\n300000\\n"))
            << log.toStdString();
    }
}

TEST_F(SignedPackages, EachRefusalGivesTwoDeletesThePackageAndLogsWhy) {
    const struct {
        const char* name;
        std::function<void()> serve;
        const char* reason;
    } cases[] = {
        {"unsigned", [] {}, "(missing)"},
        {"signed with another key", [] { sign(testkeys::kSecretC); }, "(does not verify)"},
        {"tampered, MD5 announced right",
         [] {
             sign(testkeys::kSecretA);
             std::string tampered = kPackage;
             tampered[1000] ^= 0x20;
             backend().writePackage(kPackageName, tampered);
         },
         "(does not verify)"},
        {"old release's signature offered as new (rollback)",
         [] { sign(testkeys::kSecretA, "1.2.0"); }, "(does not verify)"},
        {"malformed base64",
         [] { backend().writePackage(std::string(kPackageName) + ".sig", "c2lnbmF0dXJl!!\n"); },
         "(malformed)"},
        {"wrong signature fault",
         [] {
             sign(testkeys::kSecretA);
             ASSERT_TRUE(backend().setFaults(R"({"wrong_signature":true})"));
         },
         "(does not verify)"},
        {"empty versionName (the offer then taken from update/remotePEZAVer)",
         [] {
             sign(testkeys::kSecretA);
             backend().writeManifest(manifest(""));
             OVUpdateService::instance()->setRemoteVer("1.3.0");
         },
         "(statement mismatch)"},
    };
    for (const auto& c : cases) {
        startOver();
        c.serve();
        QString log;
        const updatertest::AttemptOutcome outcome = attempt(log);
        ASSERT_TRUE(outcome.finished) << c.name;
        EXPECT_EQ(outcome.code, 2) << c.name;
        EXPECT_EQ(outcome.fileName, "") << c.name;
        EXPECT_EQ(OVUpdateService::instance()->result(), 2) << c.name;
        EXPECT_FALSE(QFile::exists(packagePath())) << c.name;
        EXPECT_TRUE(
            log.contains(QStringLiteral("【后台更新服务】package signature refused ") + c.reason))
            << c.name << "\n"
            << log.toStdString();
        EXPECT_TRUE(log.contains("【后台更新服务】onDownloadFinish back= 2")) << c.name;
    }
}

TEST_F(SignedPackages, WithoutAKeyAnUnsignedPackageIsDeliveredAndTheLogSaysSo) {
    setBuiltInSigningKeys("");
    QString log;
    const updatertest::AttemptOutcome outcome = attempt(log);
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(updatertest::readFile(packagePath()).toStdString(), kPackage);
    EXPECT_TRUE(log.contains(
        "【更新服务】no package signing key built in: packages are not signature-checked"))
        << log.toStdString();
    EXPECT_FALSE(log.contains("package statement"));
}
