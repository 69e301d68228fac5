// The whole update through the Update program: the reference backend offers
// a real 7z package of a small application tree; a copy of Update two
// folders below a sandbox installation downloads, verifies and extracts it,
// records the version and restarts a stub main application.
#include <gtest/gtest.h>

#include <QFile>

#include "QtTestApp.h"
#include "SampleInstallation.h"
#include "TestServers.h"
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

namespace {

TEST_F(UpdateEndToEnd, VersionNamedByTheBackendIsTheOneRecordedAndRestarted) {
    mBackend.writePackage(kPackageName, sevenZipPackage().toStdString());
    mBackend.writeManifest(std::string(R"({"packages": [{"packageCode": "LUMI_DESK", "versionName": "2.0.2",)") +
                           R"( "versionValue": 2000000000, "file": ")" + kPackageName + R"("}]})");
    EXPECT_EQ(runUpdate(), 255);
    EXPECT_EQ(restartArguments(), "OpenByUpdate\n2.0.2\n");
    EXPECT_EQ(readFile(mInstallation.installDir + "/app.txt"), "new app");
    EXPECT_EQ(registryVersion("peza"), "2.0.2");
    EXPECT_EQ(setting("update/remotePEZAVer").toString(), "2.0.2");
    EXPECT_FALSE(QFile::exists(mInstallation.installDir + ".update"));
}

}  // namespace
