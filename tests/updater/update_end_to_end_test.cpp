// The whole update through the Update program: the reference backend offers
// a real 7z package of a small application tree; a copy of Update two
// folders below a sandbox installation downloads, verifies and extracts it,
// records the version and restarts a stub main application.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <cstdio>

#include "IpcObjects.h"
#include "OrvalenBackendServer/OrvalenPackageSignature.h"
#include "QtTestApp.h"
#include "SampleInstallation.h"
#include "TestServers.h"
#include "TestSigningKeys.h"
#include "UpdateRun.h"

namespace {

using updatertest::readFile;

const char kPackageName[] = "peza-studio-2.0.1.7z";

class UpdateEndToEnd : public updatertest::UpdateRunTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(mInstallation.created);
        prepare(mInstallation.updaterDir, kPackageName);
    }

    QByteArray sevenZipPackage() {
        EXPECT_TRUE(updatertest::makeSamplePackage(mSandbox.path(), mSandbox.filePath("p.7z")));
        return readFile(mSandbox.filePath("p.7z"));
    }

    // The copy of Update becomes the test-only build with the test keys A and
    // B compiled in.
    void useTestKeysUpdate() {
        ASSERT_TRUE(QFile::remove(mUpdater));
        ASSERT_TRUE(QFile::copy(UPDATE_PROGRAM_TESTKEYS, mUpdater));
    }
    // Signs the package now on the server as LUMI_DESK 2.0.1 and puts the
    // signature beside it.
    void signPackage(const char* secretKey) {
        uint64_t size = 0;
        std::string sha256;
        ASSERT_TRUE(Orvalen::hashPackageFile(mBackend.packagePath(kPackageName), size, sha256));
        mBackend.writePackage(
            std::string(kPackageName) + ".sig",
            Orvalen::signStatement(secretKey,
                                   Orvalen::packageStatement("LUMI_DESK", "2.0.1", size, sha256)));
    }
    // Runs Update until its log shows the text, then ends it: a failed
    // download leaves it at the failure dialog (TearDown removes what the
    // killed instance left). False when the text never came.
    bool runUpdateUntilLogged(const QString& text) {
        QProcess update;
        update.setProcessEnvironment(environment());
        update.setStandardErrorFile(QProcess::nullDevice());
        update.setStandardOutputFile(QProcess::nullDevice());
        update.start(mUpdater, updateArguments());
        QDeadlineTimer deadline(120000);
        while (!logText().contains(text) && !deadline.hasExpired()) QThread::msleep(50);
        const bool shown = !deadline.hasExpired();
        update.kill();
        update.waitForFinished();
        return shown;
    }

    updatertest::SampleInstallation mInstallation{mSandbox.path()};
};

TEST_F(UpdateEndToEnd, DownloadsInstallsRecordsAndRestarts) {
    const QByteArray package = sevenZipPackage();
    mBackend.writePackage(kPackageName, package.toStdString());
    EXPECT_EQ(runUpdate(), 255);
    EXPECT_EQ(restartArguments(), "OpenByUpdate\n2.0.1\n");
    EXPECT_EQ(readFile(mInstallation.installDir + "/app.txt"), "new app");
    EXPECT_EQ(readFile(mInstallation.installDir + "/data/added.txt"), "added");
    EXPECT_EQ(readFile(mInstallation.updaterDir + "/msvcp140.dll"), "old runtime");
    EXPECT_FALSE(QFile::exists(studio() + kPackageName));
    EXPECT_EQ(setting("update/setupProgress").toInt(), 100);
    EXPECT_EQ(setting("update/localPEZAVer").toString(), "2.0.0");
    EXPECT_EQ(setting("update/remotePEZAVer").toString(), "2.0.1");
    EXPECT_EQ(registryVersion("peza"), "2.0.1");
    EXPECT_EQ(registryVersion("pezaPro"), "2.0.0");
    EXPECT_TRUE(
        logText().contains("no package signing key built in: packages are not signature-checked"));
}

TEST_F(UpdateEndToEnd, WithTestKeysBuiltInAPackageSignedByTheSecondKeyInstalls) {
    useTestKeysUpdate();
    mBackend.writePackage(kPackageName, sevenZipPackage().toStdString());
    signPackage(testkeys::kSecretB);
    EXPECT_EQ(runUpdate(), 255);
    EXPECT_EQ(restartArguments(), "OpenByUpdate\n2.0.1\n");
    EXPECT_EQ(readFile(mInstallation.installDir + "/app.txt"), "new app");
    EXPECT_EQ(registryVersion("peza"), "2.0.1");
    EXPECT_TRUE(logText().contains("package signature verified with built-in key 2 of 2"));
}

TEST_F(UpdateEndToEnd, WithTestKeysBuiltInATamperedPackageIsRefusedAndNothingInstalled) {
    useTestKeysUpdate();
    QByteArray package = sevenZipPackage();
    mBackend.writePackage(kPackageName, package.toStdString());
    signPackage(testkeys::kSecretA);
    // Still a good archive, and the server announces the new MD5.
    mBackend.writePackage(kPackageName, package.append("tampered").toStdString());
    ASSERT_TRUE(runUpdateUntilLogged("on_dlFinishedBack============ \"\" ,state=== 2"));
    EXPECT_TRUE(logText().contains("package signature refused (does not verify)"));
    EXPECT_FALSE(QFile::exists(studio() + kPackageName));
    EXPECT_EQ(readFile(mInstallation.installDir + "/app.txt"), "old app");
    EXPECT_FALSE(QFile::exists(mInstallation.installDir + "/data/added.txt"));
    EXPECT_NE(setting("update/setupProgress").toInt(), 100);
    EXPECT_EQ(registryVersion("peza"), "2.0.0");
    EXPECT_FALSE(QFile::exists(mSandbox.filePath("stub.sh.args")));
}

// The downloaded file lies in the user's folder: replacing it the moment its
// signature is verified must not change what is installed.
TEST_F(UpdateEndToEnd, WithTestKeysBuiltInSwappingTheDownloadAfterItsCheckChangesNothing) {
    useTestKeysUpdate();
    mBackend.writePackage(kPackageName, sevenZipPackage().toStdString());
    signPackage(testkeys::kSecretB);
    ASSERT_TRUE(updatertest::writeFile(mSandbox.filePath("evil/app.txt"), "unsigned app"));
    QProcess archiver;
    archiver.setWorkingDirectory(mSandbox.filePath("evil"));
    archiver.start("7z", {"a", "-bd", mSandbox.filePath("evil.7z"), "."});
    ASSERT_TRUE(archiver.waitForFinished(60000));
    ASSERT_EQ(archiver.exitCode(), 0);

    QProcess update;
    update.setProcessEnvironment(environment());
    update.setStandardErrorFile(QProcess::nullDevice());
    update.setStandardOutputFile(QProcess::nullDevice());
    update.start(mUpdater, updateArguments());
    testsupport::noteUpdateProcess(update.processId());
    QDeadlineTimer deadline(120000);
    while (!logText().contains("package signature verified") && !deadline.hasExpired())
        QThread::usleep(200);
    ASSERT_FALSE(deadline.hasExpired());
    const QString swapped = studio() + "swap.tmp";
    ASSERT_TRUE(QFile::copy(mSandbox.filePath("evil.7z"), swapped));
    ASSERT_EQ(
        std::rename(swapped.toUtf8().constData(), (studio() + kPackageName).toUtf8().constData()),
        0);
    ASSERT_TRUE(update.waitForFinished(120000));
    EXPECT_EQ(update.exitCode(), 255);
    EXPECT_EQ(readFile(mInstallation.installDir + "/app.txt"), "new app");
    EXPECT_EQ(registryVersion("peza"), "2.0.1");
}

TEST_F(UpdateEndToEnd, ArchiverFailureRestartsWithoutTouchingTheEntry) {
    // Not an archive, but its MD5 is that of the file served.
    mBackend.writePackage(kPackageName, testsupport::patternBytes(5000, 3));
    EXPECT_EQ(runUpdate(), 255);
    // Restarted on the version still installed.
    EXPECT_EQ(restartArguments(), "OpenByUpdate\n2.0.0\n");
    EXPECT_EQ(readFile(mInstallation.installDir + "/app.txt"), "old app");
    EXPECT_TRUE(QFile::exists(studio() + kPackageName));
    EXPECT_EQ(setting("update/setupProgress").toInt(), -1);
    EXPECT_EQ(registryVersion("peza"), "2.0.0");
}

}  // namespace

namespace {

TEST_F(UpdateEndToEnd, VersionNamedByTheBackendIsTheOneRecordedAndRestarted) {
    mBackend.writePackage(kPackageName, sevenZipPackage().toStdString());
    mBackend.writeManifest(
        std::string(R"({"packages": [{"packageCode": "LUMI_DESK", "versionName": "2.0.2",)") +
        R"( "versionValue": 2000000000, "file": ")" + kPackageName + R"("}]})");
    EXPECT_EQ(runUpdate(), 255);
    EXPECT_EQ(restartArguments(), "OpenByUpdate\n2.0.2\n");
    EXPECT_EQ(readFile(mInstallation.installDir + "/app.txt"), "new app");
    EXPECT_EQ(registryVersion("peza"), "2.0.2");
    EXPECT_EQ(setting("update/remotePEZAVer").toString(), "2.0.2");
    EXPECT_FALSE(QFile::exists(mInstallation.installDir + ".update"));
}

}  // namespace
