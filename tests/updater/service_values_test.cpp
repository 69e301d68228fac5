// The service's number rules and its Qt face: version values, whole
// percentages, the signals and the stDevInfo meta-type.
#include <gtest/gtest.h>

#include <QMetaMethod>
#include <algorithm>
#include <cmath>
#include <limits>

#include "QtTestApp.h"
#include "service/OVUpdateEndpoints.h"
#include "service/OVUpdateService.h"
#include "service/OVUpdateServicePrivate.h"
#include "service/OVUpdateValues.h"

TEST(VersionValue, DropsDotsAndLowerCaseVOnly) {
    EXPECT_EQ(versionValue("2.1.10"), 2110);
    EXPECT_EQ(versionValue("v3.0"), 30);
    EXPECT_EQ(versionValue("v1.2.3"), 123);
    EXPECT_EQ(versionValue("V1.2"), 0);
    EXPECT_EQ(versionValue(""), 0);
    EXPECT_EQ(versionValue("1.2-beta"), 0);
    EXPECT_EQ(versionValue("9.999.999.999"), 0);  // past 32 bits
}

TEST(CompareVersions, NumbersThenPreReleaseAsSemanticVersioningOrdersThem) {
    const struct {
        const char* a;
        const char* b;
        int order;
    } ordered[] = {
        {"1.2.10", "1.2.9", 1},
        {"1.10", "1.9", 1},
        {"1.1.0", "1.2.0", -1},
        {"v2.0.1", "2.0.1", 0},
        {"V1.2", "1.2.0", 0},
        {"2", "1.99.99", 1},
        {"1.1.0-beta", "1.1.0", -1},
        {"1.1.0-hotfix", "1.2.0", -1},
        {"1.2.0-beta", "1.2.0-alpha", 1},
        {"1.0.0-rc.2", "1.0.0-rc.10", -1},
        {"1.0.0-rc.1", "1.0.0-rc", 1},
        {"1.0.0-1", "1.0.0-a", -1},
        {"1.2.0+build.7", "1.2.0", 0},
        {"1.2.0-beta", "0.0.1", 1},
    };
    for (const auto& c : ordered) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        ASSERT_TRUE(compareVersions(c.a, c.b).has_value());
        EXPECT_EQ(*compareVersions(c.a, c.b), c.order);
        EXPECT_EQ(*compareVersions(c.b, c.a), -c.order);
    }
    // No order, so the service refuses the offer.
    for (const char* text : {"", "1..2", "x1.2", "1.2.", " 1.2", "1.1.0 ", "-1.0", "+1.0", "1.0-",
                             "1.0-beta..1", "1.0+", "１.2"})
        EXPECT_FALSE(compareVersions(text, "1.2").has_value()) << text;
}

TEST(AcceptableVersionName, UpTo64CharactersThatParse) {
    EXPECT_TRUE(acceptableVersionName("2.0.1"));
    EXPECT_TRUE(acceptableVersionName("v1.0.0-rc.1+build-5"));
    EXPECT_TRUE(acceptableVersionName("1.2.3-" + QString(58, u'a')));
    for (const QString& name : {QString(), QString("../../x"), QString("1.0\n2.0"),
                                "1.2.3-" + QString(59, u'a'), QString("1.0/2")})
        EXPECT_FALSE(acceptableVersionName(name)) << name.left(20).toStdString();
}

TEST(ReservedFileNames, TheSettingsTheLogsAndTheUninstallIniWhereItLivesBesideThem) {
    const OVUpdateSettings settings(updatertest::testHome() + "/.local/share/Update");
    const auto has = [](const std::vector<std::string>& names, const char* name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    qunsetenv("OV_UNINSTALL_REGISTRY");
    std::vector<std::string> names = reservedFileNames(settings);
    EXPECT_TRUE(has(names, "update.ini"));
    EXPECT_TRUE(has(names, "logs"));
    EXPECT_TRUE(has(names, "uninstall-registry.ini"));
    qputenv("OV_UNINSTALL_REGISTRY",
            (updatertest::testHome() + "/elsewhere/registry.ini").toUtf8());
    names = reservedFileNames(settings);
    EXPECT_TRUE(has(names, "update.ini"));
    EXPECT_FALSE(has(names, "registry.ini"));
    qputenv("OV_UNINSTALL_REGISTRY", (settings.storeDir() + "registry.ini").toUtf8());
    EXPECT_TRUE(has(reservedFileNames(settings), "registry.ini"));
    qunsetenv("OV_UNINSTALL_REGISTRY");
}

TEST(WholePercent, CutsTowardZeroAndStaysWithinZeroToHundred) {
    EXPECT_EQ(wholePercent(99.9), 99);
    EXPECT_EQ(wholePercent(0.5), 0);
    EXPECT_EQ(wholePercent(100.0), 100);
    EXPECT_EQ(wholePercent(-3.0), 0);
    EXPECT_EQ(wholePercent(150.0), 100);
    EXPECT_EQ(wholePercent(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(wholePercent(std::numeric_limits<double>::infinity()), 100);
    EXPECT_EQ(wholePercent(-std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(wholePercent(1e300), 100);
}

TEST(Endpoints, SnModeTwoChoosesTheTestEndpoint) {
    EXPECT_EQ(OVUpdateEndpoints::forSnMode(2), OVUpdateEndpoints::test());
    EXPECT_EQ(OVUpdateEndpoints::forSnMode(0), OVUpdateEndpoints::production());
    EXPECT_EQ(OVUpdateEndpoints::forSnMode(3), OVUpdateEndpoints::production());
    EXPECT_NE(OVUpdateEndpoints::test(), OVUpdateEndpoints::production());
}

TEST(ServiceSignals, DeclaredInOrderAndCarryDevInfoAcrossThreads) {
    const QMetaObject& meta = OVUpdateService::staticMetaObject;
    const int progress = meta.indexOfSignal("sigDownloadProgressBack(int)");
    const int finish = meta.indexOfSignal("sigDownloadFinishBack(int,QString)");
    const int upgrade = meta.indexOfSignal("sigStarUpgrade(QString,QString,stDevInfo)");
    ASSERT_GE(progress, 0);
    EXPECT_EQ(finish, progress + 1);
    EXPECT_EQ(upgrade, progress + 2);
    EXPECT_EQ(meta.method(finish).parameterNames().at(1), "filename");

    OVUpdateService* service = OVUpdateService::instance();
    EXPECT_TRUE(QMetaType::fromName("stDevInfo").isValid());
    stDevInfo received;
    bool arrived = false;
    QObject::connect(
        service, &OVUpdateService::sigStarUpgrade, service,
        [&](const QString&, const QString&, const stDevInfo& info) {
            received = info;
            arrived = true;
        },
        Qt::QueuedConnection);
    stDevInfo sent;
    sent.devSn = "SN-1";
    sent.upgradeState = 4;
    emit service->sigStarUpgrade("id", "1.0", sent);
    ASSERT_TRUE(updatertest::processEventsUntil([&] { return arrived; }, 5000));
    EXPECT_EQ(received.devSn, "SN-1");
    EXPECT_EQ(received.upgradeState, 4);
}
