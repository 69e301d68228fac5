// The whole update through the Update program: the reference backend offers
// a real 7z package of a small application tree; a copy of Update two
// folders below a sandbox installation downloads, verifies and extracts it,
// records the version and restarts a stub main application.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include "OrvalenBackendServer/OrvalenPackageSignature.h"
#include "QtTestApp.h"
#include "SampleInstallation.h"
#include "TestServers.h"
#include "TestSigningKeys.h"

namespace {

using updatertest::readFile;

void writeFile(const QString& path, const QByteArray& bytes) {
    ASSERT_TRUE(updatertest::writeFile(path, bytes)) << path.toStdString();
}

const char kPackageName[] = "peza-studio-2.0.1.7z";

class UpdateEndToEnd : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(mBackend.running());
        ASSERT_TRUE(mInstallation.created);
        ASSERT_TRUE(QFile::copy(UPDATE_PROGRAM, mInstallation.updaterDir + "/Update"));
        writeFile(mSandbox.filePath("stub.sh"),
                  "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args.tmp\" && mv \"$0.args.tmp\" \"$0.args\"\n");
        QFile::setPermissions(mSandbox.filePath("stub.sh"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QSettings settings(studio() + "update.ini", QSettings::IniFormat);
        settings.setValue("update/host", QString::fromStdString(mBackend.url()));
        settings.setValue("update/caFile", QString::fromStdString(mBackend.caFile()));
        QSettings registry(registryFile(), QSettings::IniFormat);
        registry.setValue("peza/DisplayName", QStringLiteral("沛扎直播"));
        registry.setValue("peza/DisplayVersion", "2.0.0");
        registry.setValue("pezaPro/DisplayName", QStringLiteral("沛扎直播 Pro"));
        registry.setValue("pezaPro/DisplayVersion", "2.0.0");
        mBackend.writeManifest(std::string(R"({"packages": [{"packageCode": "LUMI_DESK", "versionName": "2.0.1",)") +
                               R"( "versionValue": 2000000000, "description": "notes", "file": ")" + kPackageName +
                               R"("}]})");
    }

    QByteArray sevenZipPackage() {
        EXPECT_TRUE(updatertest::makeSamplePackage(mSandbox.path(), mSandbox.filePath("p.7z")));
        return readFile(mSandbox.filePath("p.7z"));
    }

    // Starts Update in direct-upgrade mode.
    void startUpdate(QProcess& update) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const QString home = mSandbox.filePath("home");
        environment.insert("HOME", home);
        environment.insert("TMPDIR", mSandbox.path());
        environment.insert("XDG_DATA_HOME", home + "/.local/share");
        environment.insert("XDG_CONFIG_HOME", home + "/.config");
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("OV_UNINSTALL_REGISTRY", registryFile());
        update.setProcessEnvironment(environment);
        update.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        update.setStandardOutputFile(QProcess::nullDevice());
        update.start(mInstallation.updaterDir + "/Update", {mSandbox.filePath("stub.sh"), "2.0.1", "2.0.0", "upgrade"});
    }
    // Runs Update in direct-upgrade mode to its end; its exit status.
    int runUpdate() {
        QProcess update;
        startUpdate(update);
        if (!update.waitForFinished(120000)) {
            update.kill();
            update.waitForFinished();
            return -1000;
        }
        return update.exitCode();
    }

    // Runs Update until its log shows the text, then ends it: a failed
    // download leaves it at the failure dialog. False when the text never came.
    bool runUpdateUntilLogged(const QString& text) {
        QProcess update;
        startUpdate(update);
        QDeadlineTimer deadline(120000);
        while (!readFile(studio() + "logs/peza-update.txt").contains(text.toUtf8()) &&
               !deadline.hasExpired()) {
            QThread::msleep(50);
        }
        const bool shown = !deadline.hasExpired();
        update.kill();
        update.waitForFinished();
        return shown;
    }
    // Signs the package now on the server as LUMI_DESK 2.0.1 and puts the
    // signature beside it; the copy of Update gets the test keys A and B.
    void signPackage(const char* secretKey) {
        uint64_t size = 0;
        std::string sha256;
        ASSERT_TRUE(Orvalen::hashPackageFile(mBackend.packagePath(kPackageName), size, sha256));
        mBackend.writePackage(
            std::string(kPackageName) + ".sig",
            Orvalen::signStatement(secretKey,
                                   Orvalen::packageStatement("LUMI_DESK", "2.0.1", size, sha256)));
    }
    void useTestKeysUpdate() {
        ASSERT_TRUE(QFile::remove(mInstallation.updaterDir + "/Update"));
        ASSERT_TRUE(QFile::copy(UPDATE_PROGRAM_TESTKEYS, mInstallation.updaterDir + "/Update"));
    }

    // The stub's arguments, one a line, once it has run.
    QByteArray restartArguments() const {
        QDeadlineTimer deadline(10000);
        while (!QFile::exists(mSandbox.filePath("stub.sh.args")) && !deadline.hasExpired()) QThread::msleep(20);
        return readFile(mSandbox.filePath("stub.sh.args"));
    }
    QString studio() const { return mSandbox.filePath("home") + "/.local/share/peza-studio/"; }
    QString registryFile() const { return mSandbox.filePath("registry.ini"); }
    QVariant setting(const char* key) const {
        return QSettings(studio() + "update.ini", QSettings::IniFormat).value(key);
    }
    QString registryVersion(const char* entry) const {
        return QSettings(registryFile(), QSettings::IniFormat).value(QString(entry) + "/DisplayVersion").toString();
    }

    testsupport::ReferenceBackend mBackend;
    QTemporaryDir mSandbox;
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
        readFile(studio() + "logs/peza-update.txt")
            .contains("no package signing key built in: packages are not signature-checked"));
}

TEST_F(UpdateEndToEnd, WithTestKeysBuiltInAPackageSignedByTheSecondKeyInstalls) {
    useTestKeysUpdate();
    mBackend.writePackage(kPackageName, sevenZipPackage().toStdString());
    signPackage(testkeys::kSecretB);
    EXPECT_EQ(runUpdate(), 255);
    EXPECT_EQ(restartArguments(), "OpenByUpdate\n2.0.1\n");
    EXPECT_EQ(readFile(mInstallation.installDir + "/app.txt"), "new app");
    EXPECT_EQ(registryVersion("peza"), "2.0.1");
    EXPECT_TRUE(readFile(studio() + "logs/peza-update.txt")
                    .contains("package signature verified with built-in key 2 of 2"));
}

TEST_F(UpdateEndToEnd, WithTestKeysBuiltInATamperedPackageIsRefusedAndNothingInstalled) {
    useTestKeysUpdate();
    QByteArray package = sevenZipPackage();
    mBackend.writePackage(kPackageName, package.toStdString());
    signPackage(testkeys::kSecretA);
    // Still a good archive, and the server announces the new MD5.
    mBackend.writePackage(kPackageName, package.append("tampered").toStdString());
    ASSERT_TRUE(runUpdateUntilLogged("on_dlFinishedBack============ \"\" ,state=== 2"));
    EXPECT_TRUE(readFile(studio() + "logs/peza-update.txt")
                    .contains("package signature refused (does not verify)"));
    EXPECT_FALSE(QFile::exists(studio() + kPackageName));
    EXPECT_EQ(readFile(mInstallation.installDir + "/app.txt"), "old app");
    EXPECT_FALSE(QFile::exists(mInstallation.installDir + "/data/added.txt"));
    EXPECT_NE(setting("update/setupProgress").toInt(), 100);
    EXPECT_EQ(registryVersion("peza"), "2.0.0");
    EXPECT_FALSE(QFile::exists(mSandbox.filePath("stub.sh.args")));
}

TEST_F(UpdateEndToEnd, ArchiverFailureRestartsWithoutTouchingTheEntry) {
    // Not an archive, but its MD5 is that of the file served.
    mBackend.writePackage(kPackageName, testsupport::patternBytes(5000, 3));
    EXPECT_EQ(runUpdate(), 255);
    EXPECT_EQ(restartArguments(), "OpenByUpdate\n2.0.1\n");
    EXPECT_EQ(readFile(mInstallation.installDir + "/app.txt"), "old app");
    EXPECT_TRUE(QFile::exists(studio() + kPackageName));
    EXPECT_EQ(setting("update/setupProgress").toInt(), -1);
    EXPECT_EQ(registryVersion("peza"), "2.0.0");
}

}  // namespace
