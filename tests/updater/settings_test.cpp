// update.ini: where it lies, defaults, round trips of every key, values
// written from outside between two calls, and the production host written on
// the service's first use.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <thread>

#include "ChildProcess.h"
#include "QtTestApp.h"
#include "TestServers.h"
#include "service/OVUpdateEndpoints.h"
#include "service/OVUpdateService.h"

using testsupport::readFile;

namespace {

class Settings : public testing::Test {
protected:
    // A location whose last component is the program's name, as Qt gives it.
    QString location() const { return QString::fromStdString(mDir.file("Update")); }
    std::string iniFile() const { return mDir.file("peza-studio/update.ini"); }

    testsupport::TempDir mDir;
};

}  // namespace

TEST(SettingsPlace, StoreDirIsThePezaStudioFolderBesideTheLocation) {
    EXPECT_EQ(OVUpdateSettings::storeDirFor("C:/Users/a/AppData/Roaming/Update"),
              "C:/Users/a/AppData/Roaming/peza-studio/");
    EXPECT_EQ(OVUpdateSettings::storeDirFor("Update"), "");
    EXPECT_EQ(OVUpdateSettings::storeDirFor("/Update"), "");
    EXPECT_EQ(OVUpdateSettings("Update").settingsFile(), "update.ini");
}

TEST_F(Settings, WithoutASlashTheFileIsInTheCurrentFolder) {
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(mDir.path())));
    OVUpdateSettings settings("Update");
    settings.setContent("notes");
    EXPECT_EQ(settings.content(), "notes");
    QDir::setCurrent(before);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(mDir.file("update.ini"))));
}

TEST_F(Settings, MissingKeysReadAsDefaultsAndEveryKeyRoundTrips) {
    OVUpdateSettings settings(location());
    EXPECT_EQ(settings.storeDir(), QString::fromStdString(mDir.file("peza-studio/")));
    EXPECT_EQ(settings.host(), "");
    EXPECT_EQ(settings.content(), "");
    EXPECT_EQ(settings.setupProgress(), 0);
    EXPECT_EQ(settings.localVer(), "");
    EXPECT_EQ(settings.remoteVer(), "");
    EXPECT_EQ(settings.remoteDeviceVer(), "");
    EXPECT_EQ(settings.devUpgradeProcess(), 0);
    EXPECT_EQ(settings.caFile(), "");
    EXPECT_EQ(settings.insecureTls(), 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(iniFile())));

    const QString notes = QStringLiteral("沛扎直播 2.0.1: faster; a=b, \"quoted\"\nsecond line");
    settings.setHost("https://staging.example:8443");
    settings.setContent(notes);
    settings.setSetupProgress(-1);
    settings.setLocalVer("2.0.0");
    settings.setRemoteVer("2.0.1");
    settings.setRemoteDeviceVer("1.4");
    settings.setDevUpgradeProcess(7);
    settings.setCaFile("/etc/peza/ca.pem");
    settings.setInsecureTls(1);

    OVUpdateSettings again(location());
    EXPECT_EQ(again.host(), "https://staging.example:8443");
    EXPECT_EQ(again.content(), notes);
    EXPECT_EQ(again.setupProgress(), -1);
    EXPECT_EQ(again.localVer(), "2.0.0");
    EXPECT_EQ(again.remoteVer(), "2.0.1");
    EXPECT_EQ(again.remoteDeviceVer(), "1.4");
    EXPECT_EQ(again.devUpgradeProcess(), 7);
    EXPECT_EQ(again.caFile(), "/etc/peza/ca.pem");
    EXPECT_EQ(again.insecureTls(), 1);
    settings.setSetupProgress(100);
    EXPECT_EQ(again.setupProgress(), 100);

    const std::string text = readFile(iniFile());
    EXPECT_EQ(text.rfind("[update]\n", 0), 0u) << text;
    for (const char* key :
         {"\nhost=", "\ncontent=", "\nsetupProgress=100\n", "\nlocalPEZAVer=", "\nremotePEZAVer=",
          "\nremoteDeviceVer=", "\ndevUpgradeProcess=7\n", "\ncaFile=", "\ninsecureTls=1\n"}) {
        EXPECT_NE(text.find(key), std::string::npos) << key;
    }
}

TEST_F(Settings, ValuesWrittenFromOutsideBetweenTwoCallsAreSeen) {
    OVUpdateSettings settings(location());
    settings.setHost("https://first.example");
    EXPECT_EQ(settings.host(), "https://first.example");
    // Another program rewrites the file, as the main application does.
    ASSERT_TRUE(testsupport::runQuietly(
        {"python3", "-c",
         "import sys; open(sys.argv[1], 'w').write("
         "'[update]\\nhost=https://second.example:9443\\nsetupProgress=abc\\n')",
         iniFile()}));
    EXPECT_EQ(settings.host(), "https://second.example:9443");
    EXPECT_EQ(settings.setupProgress(), 0);
}

TEST_F(Settings, AHostAlreadyThereIsNeverReplaced) {
    OVUpdateSettings settings(location());
    settings.fillHostIfEmpty("https://production.example");
    EXPECT_EQ(settings.host(), "https://production.example");
    settings.setHost("https://test.example");
    settings.fillHostIfEmpty("https://production.example");
    EXPECT_EQ(settings.host(), "https://test.example");
}

TEST(SharedService, FirstUseWritesTheProductionHostIntoTheUserFile) {
    const QString ini = updatertest::studioFolder() + "update.ini";
    OVUpdateService* service = nullptr;
    std::thread([&service] { service = OVUpdateService::instance(); }).join();
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(OVUpdateService::instance(), service);
    EXPECT_EQ(service->thread(), QCoreApplication::instance()->thread());
    EXPECT_EQ(service->storeDir(), updatertest::studioFolder());
    EXPECT_EQ(service->settingsFile(), ini);
    EXPECT_EQ(service->host(), OVUpdateEndpoints::production());
    EXPECT_TRUE(OVUpdateEndpoints::production().startsWith("https://"));
    EXPECT_NE(testsupport::readFile(ini.toStdString()).find("host="), std::string::npos);
    EXPECT_EQ(service->result(), -1);
}
