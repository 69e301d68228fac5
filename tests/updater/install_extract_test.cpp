// The installation with the real 7z: a package made here with "7z a" is
// extracted over a sandbox installation two levels above the updater folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <optional>

#include "QtTestApp.h"
#include "SampleInstallation.h"
#include "install/OVArchiverArguments.h"
#include "install/OVInstallSteps.h"
#include "install/OVPackageInstaller.h"
#include "service/OVPackageCopy.h"
#include "service/OVUpdateSettings.h"

namespace {

using updatertest::readFile;

void writeFile(const QString& path, const QByteArray& bytes) {
    ASSERT_TRUE(updatertest::writeFile(path, bytes)) << path.toStdString();
}

class PackageInstall : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(mSandbox.isValid());
        ASSERT_TRUE(mInstallation.created);
        mSettings.setSetupProgress(-1);
        qputenv("OV_UNINSTALL_REGISTRY", mSandbox.filePath("registry.ini").toUtf8());
        QSettings registry(mSandbox.filePath("registry.ini"), QSettings::IniFormat);
        registry.setValue("product/DisplayName", QStringLiteral("沛扎直播"));
        registry.setValue("product/DisplayVersion", "2.0.0");
    }
    void TearDown() override { qunsetenv("OV_UNINSTALL_REGISTRY"); }

    QString makePackage() {
        const QString package = mSettings.storeDir() + "p.7z";
        EXPECT_TRUE(updatertest::makeSamplePackage(mSandbox.path(), package));
        return package;
    }

    // Makes the checked copy of the package, as the update service does, then
    // runs the installer to its end; empty when it never ended.
    std::optional<bool> install(const QString& package, const QString& program = "7z") {
        const QString installDir =
            OVArchiverArguments::installationFolderFor(mInstallation.updaterDir);
        EXPECT_TRUE(
            copyPackage(package, OVInstallSteps::packageCopyPath(installDir, package)).made);
        OVPackageInstaller installer(mSettings);
        installer.setProgram(program);
        std::optional<bool> ended;
        int endings = 0;
        QObject::connect(&installer, &OVPackageInstaller::sigInstallEnded, [&](bool installed) {
            ended = installed;
            ++endings;
        });
        installer.start(package, mInstallation.updaterDir, "2.0.1");
        updatertest::processEventsUntil([&] { return ended.has_value(); }, 60000);
        // Late notifications of the process must not end it a second time.
        updatertest::processEventsUntil([] { return false; }, 200);
        EXPECT_LE(endings, 1);
        return ended;
    }

    QString registryVersion() const {
        return QSettings(mSandbox.filePath("registry.ini"), QSettings::IniFormat)
            .value("product/DisplayVersion")
            .toString();
    }

    QTemporaryDir mSandbox;
    updatertest::SampleInstallation mInstallation{mSandbox.path()};
    OVUpdateSettings mSettings{QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)};
};

TEST_F(PackageInstall, ExtractsOverTheInstallationButNotOverRuntimeFilesBesideTheUpdater) {
    const QString package = makePackage();
    EXPECT_EQ(install(package), std::optional<bool>(true));
    EXPECT_EQ(readFile(mInstallation.installDir + "/app.txt"), "new app");
    EXPECT_EQ(readFile(mInstallation.installDir + "/data/added.txt"), "added");
    EXPECT_EQ(readFile(mInstallation.updaterDir + "/msvcp140.dll"), "old runtime");
    EXPECT_FALSE(QFile::exists(package));
    EXPECT_FALSE(QFile::exists(mInstallation.installDir + ".update"));  // nor its copy
    EXPECT_EQ(mSettings.setupProgress(), 100);
    EXPECT_EQ(registryVersion(), "2.0.1");
}

TEST_F(PackageInstall, SubItemsErrorsIsAFailedInstallationThatChangesNothing) {
    // "x" is a file and also the folder of "x/y": 7z writes x, cannot write
    // x/y and ends with "Sub items Errors: 1".
    const QString package = mSettings.storeDir() + "sub-items.7z";
    writeFile(mSandbox.filePath("a/x"), "file x");
    writeFile(mSandbox.filePath("b/x/y"), "file y");
    for (const char* part : {"a", "b"}) {
        QProcess archiver;
        archiver.setWorkingDirectory(mSandbox.filePath(part));
        archiver.start("7z", {"a", "-bd", package, part == QByteArray("a") ? "x" : "x/y"});
        ASSERT_TRUE(archiver.waitForFinished(60000));
    }
    EXPECT_EQ(install(package), std::optional<bool>(false));
    EXPECT_FALSE(QFile::exists(mInstallation.installDir + "/x"));
    EXPECT_FALSE(QFile::exists(mInstallation.installDir + ".update"));
    EXPECT_TRUE(QFile::exists(package));
    EXPECT_EQ(mSettings.setupProgress(), -1);
    EXPECT_EQ(registryVersion(), "2.0.0");
}

TEST_F(PackageInstall, CorruptPackageEndsWithoutInstallingAndKeepsThePackage) {
    const QString package = mSettings.storeDir() + "corrupt.7z";
    writeFile(package, QByteArray(300, 'x'));
    EXPECT_EQ(install(package), std::optional<bool>(false));
    EXPECT_TRUE(QFile::exists(package));
    EXPECT_EQ(mSettings.setupProgress(), -1);
    EXPECT_EQ(registryVersion(), "2.0.0");
    EXPECT_EQ(readFile(mInstallation.installDir + "/app.txt"), "old app");
}

TEST_F(PackageInstall, ArchiverThatCannotStartEndsWithoutInstalling) {
    const QString package = makePackage();
    EXPECT_EQ(install(package, mSandbox.filePath("no-such-7z")), std::optional<bool>(false));
    EXPECT_TRUE(QFile::exists(package));
    EXPECT_EQ(mSettings.setupProgress(), -1);
    EXPECT_EQ(registryVersion(), "2.0.0");
}

}  // namespace
