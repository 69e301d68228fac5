// The whole update through the Update program: the reference backend offers
// a real 7z package of a small application tree; a copy of Update two
// folders below a sandbox installation downloads, verifies and extracts it,
// records the version and restarts a stub main application.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
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
const char kDeltaName[] = "peza-studio-2.0.0-to-2.0.1.7z";

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
    void signPackage(const char* secretKey, const char* name = kPackageName,
                     int32_t deltaFrom = 0) {
        uint64_t size = 0;
        std::string sha256;
        ASSERT_TRUE(Orvalen::hashPackageFile(mBackend.packagePath(name), size, sha256));
        mBackend.writePackage(
            std::string(name) + ".sig",
            Orvalen::signStatement(secretKey, Orvalen::packageStatement("LUMI_DESK", "2.0.1", size,
                                                                        sha256, deltaFrom)));
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

    // Publishes 2.0.1 as the full package and as a delta from 2.0.0 (named
    // fromVersion in its manifest). The installation gains lib/core.dll,
    // which the release patches; mExpected is the tree a full update leaves.
    void publishWithDelta(const char* fromVersion = "2.0.0") {
        const std::string core = testsupport::patternBytes(200000, 5);
        std::string edited = core;
        edited.replace(90000, 4096, testsupport::patternBytes(4096, 6));
        const QString oldTree = mSandbox.filePath("old");
        const QString newTree = mSandbox.filePath("new");
        ASSERT_TRUE(updatertest::writeFile(mInstallation.installDir + "/lib/core.dll",
                                           QByteArray::fromStdString(core)));
        ASSERT_TRUE(updatertest::writeFile(oldTree + "/app.txt", "old app"));
        ASSERT_TRUE(updatertest::writeFile(oldTree + "/bin/updater/msvcp140.dll", "old runtime"));
        ASSERT_TRUE(
            updatertest::writeFile(oldTree + "/lib/core.dll", QByteArray::fromStdString(core)));
        ASSERT_TRUE(updatertest::writeFile(newTree + "/app.txt", "new app"));
        ASSERT_TRUE(updatertest::writeFile(newTree + "/data/added.txt", "added"));
        ASSERT_TRUE(updatertest::writeFile(newTree + "/bin/updater/msvcp140.dll", "new runtime"));
        ASSERT_TRUE(
            updatertest::writeFile(newTree + "/lib/core.dll", QByteArray::fromStdString(edited)));
        ASSERT_TRUE(runQuietly("7z", {"a", "-bd", mSandbox.filePath("full.7z"), "."}, newTree));
        ASSERT_TRUE(runQuietly(
            UPDATE_DELTA,
            {"make", "--from", oldTree, "--to", newTree, "-o", mSandbox.filePath("delta.7z"),
             "--from-version", fromVersion, "--to-version", "2.0.1"},
            mSandbox.path()));
        mBackend.writePackage(kPackageName, readFile(mSandbox.filePath("full.7z")).toStdString());
        mBackend.writePackage(kDeltaName, readFile(mSandbox.filePath("delta.7z")).toStdString());
        mBackend.writeManifest(
            std::string(R"({"packages": [{"packageCode": "LUMI_DESK", "versionName": "2.0.1",)") +
            R"( "versionValue": 2000000000, "file": ")" + kPackageName +
            R"(", "deltas": [{"fromVersionValue": 200, "file": ")" + kDeltaName + R"("}]}]})");
        expectFullUpdateOf(newTree);
    }
    void expectFullUpdateOf(const QString& newTree) {
        mExpected = updatertest::treeManifest(mInstallation.installDir);
        const auto released = updatertest::treeManifest(newTree);
        for (auto it = released.begin(); it != released.end(); ++it) {
            if (it.key() != "bin/updater/msvcp140.dll") mExpected.insert(it.key(), it.value());
        }
    }
    bool runQuietly(const QString& program, const QStringList& arguments, const QString& folder) {
        QProcess process;
        process.setWorkingDirectory(folder);
        process.start(program, arguments);
        return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }
    bool fetched(const std::string& name) const {
        for (const testsupport::SeenRequest& request : mBackend.seen()) {
            if (request.path == "/packages/" + name) return true;
        }
        return false;
    }

    updatertest::SampleInstallation mInstallation{mSandbox.path()};
    QMap<QString, QByteArray> mExpected;
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

namespace {

TEST_F(UpdateEndToEnd, DeltaUpdateEndsAsTheFullUpdateWouldAndFetchesOnlyTheDelta) {
    publishWithDelta();
    EXPECT_EQ(runUpdate(), 255);
    EXPECT_EQ(restartArguments(), "OpenByUpdate\n2.0.1\n");
    EXPECT_EQ(updatertest::treeManifest(mInstallation.installDir), mExpected);
    EXPECT_TRUE(fetched(kDeltaName));
    EXPECT_FALSE(fetched(kPackageName));
    EXPECT_TRUE(logText().contains("delta staged"));
    EXPECT_FALSE(QFile::exists(studio() + kDeltaName));
    EXPECT_FALSE(QFile::exists(mInstallation.installDir + ".update"));
    EXPECT_EQ(registryVersion("peza"), "2.0.1");
}

// Killed after the first file the delta staged: the next start removes the
// staging, the tree is the old one, and the update then goes through.
TEST_F(UpdateEndToEnd, KilledWhileTheDeltaStagesTheNextStartLeavesTheOldTree) {
    ASSERT_TRUE(QFile::remove(mUpdater));
    ASSERT_TRUE(QFile::copy(UPDATE_PROGRAM_TESTHOOKS, mUpdater));
    publishWithDelta();
    const auto before = updatertest::treeManifest(mInstallation.installDir);
    EXPECT_EQ(runUpdate({{"OV_TEST_KILL_AFTER_STEP", "1"}}), -9);
    EXPECT_TRUE(QFileInfo::exists(mInstallation.installDir + ".update/staging"));
    EXPECT_EQ(runUpdate({{"OV_TEST_EXIT_AFTER_RECOVERY", "1"}}), 0);
    EXPECT_EQ(updatertest::treeManifest(mInstallation.installDir), before);
    EXPECT_FALSE(QFileInfo::exists(mInstallation.installDir + ".update"));
    EXPECT_EQ(runUpdate(), 255);
    EXPECT_EQ(updatertest::treeManifest(mInstallation.installDir), mExpected);
}

struct DeltaFault {
    const char* name;
    const char* backendFaults;  // JSON object
    bool signedWithKeys;
    const char* damage;  // "modify" or "remove" lib/core.dll, or nothing
    const char* fromVersion;
    const char* reason;  // in the log's one line
};

class DeltaFaults : public UpdateEndToEnd, public testing::WithParamInterface<DeltaFault> {};

// Every fault ends with the full package, installed in the same attempt.
TEST_P(DeltaFaults, FallBackToTheFullPackage) {
    const DeltaFault& fault = GetParam();
    if (fault.signedWithKeys) useTestKeysUpdate();
    publishWithDelta(fault.fromVersion);
    if (fault.signedWithKeys) {
        signPackage(testkeys::kSecretB);
        signPackage(testkeys::kSecretB, kDeltaName, 200);
    }
    ASSERT_TRUE(mBackend.setFaults(fault.backendFaults));
    const QString core = mInstallation.installDir + "/lib/core.dll";
    const std::string damage = fault.damage;
    EXPECT_TRUE(damage != "modify" || updatertest::writeFile(core, "mine"));
    EXPECT_TRUE(damage != "remove" || QFile::remove(core));
    EXPECT_EQ(runUpdate(), 255);
    EXPECT_EQ(restartArguments(), "OpenByUpdate\n2.0.1\n");
    EXPECT_EQ(updatertest::treeManifest(mInstallation.installDir), mExpected);
    EXPECT_TRUE(fetched(kPackageName));
    EXPECT_EQ(logText().count("delta not used, downloading the full package"), 1);
    EXPECT_TRUE(logText().contains(fault.reason)) << logText().toStdString();
    EXPECT_EQ(registryVersion("peza"), "2.0.1");
}

INSTANTIATE_TEST_SUITE_P(
    Table, DeltaFaults,
    testing::Values(
        DeltaFault{"WrongMd5", R"({"delta_wrong_md5": true})", false, "", "2.0.0",
                   "its download ended with code 2"},
        DeltaFault{"Truncated", R"({"delta_truncated": true})", false, "", "2.0.0",
                   "its download ended with code 3"},
        DeltaFault{"WrongSignature", R"({"delta_wrong_signature": true})", true, "", "2.0.0",
                   "its check ended with code 2"},
        DeltaFault{"LocallyModifiedOldFile", "{}", false, "modify", "2.0.0",
                   "the installed lib/core.dll is missing or not the file the patch expects"},
        DeltaFault{"MissingOldFile", "{}", false, "remove", "2.0.0",
                   "the installed lib/core.dll is missing or not the file the patch expects"},
        DeltaFault{"PatchForAnotherVersion", "{}", false, "", "1.9.0",
                   "the delta goes from 1.9.0 to 2.0.1, not from 2.0.0 to 2.0.1"}),
    [](const testing::TestParamInfo<DeltaFault>& info) { return std::string(info.param.name); });

}  // namespace
