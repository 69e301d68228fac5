#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "install/OVUninstallEntry.h"
#include "platform/OVUninstallRegistry.h"

namespace {

const QString kProduct = QStringLiteral("沛扎直播");

class UninstallRegistry : public testing::Test {
protected:
    void setEntry(const QString& group, const QVariant& name) {
        QSettings ini(file(), QSettings::IniFormat);
        ini.setValue(group + "/DisplayName", name);
        ini.setValue(group + "/DisplayVersion", QStringLiteral("1.0.0"));
    }
    QVariant version(const QString& group) const {
        return QSettings(file(), QSettings::IniFormat).value(group + "/DisplayVersion");
    }
    void update(const QString& newVersion) {
        OVPlatform::setUninstallDisplayVersion(
            kProduct.toStdU16String(), newVersion.toStdU16String(), file().toStdString(),
            [this](const std::string& line) { mLog.push_back(line); });
    }
    QString file() const { return mDir.filePath("uninstall-registry.ini"); }

    QTemporaryDir mDir;
    std::vector<std::string> mLog;
};

TEST_F(UninstallRegistry, OnlyTheFirstExactMatchIsChanged) {
    setEntry("A-longer", kProduct + " Pro");
    setEntry("B-other", "Other");
    setEntry("C-product", kProduct);
    setEntry("D-product-again", kProduct);
    update("2.0.1");
    EXPECT_EQ(version("A-longer").toString(), "1.0.0");
    EXPECT_EQ(version("B-other").toString(), "1.0.0");
    EXPECT_EQ(version("C-product").toString(), "2.0.1");
    EXPECT_EQ(version("D-product-again").toString(), "1.0.0");
    ASSERT_EQ(mLog.size(), 3u);
    EXPECT_EQ(mLog[0], "Reg key str== 2.0.1");
    EXPECT_EQ(mLog[1], "Reg key== C-product");
}

TEST_F(UninstallRegistry, ValueTypeOfTheDisplayNameIsKept) {
    setEntry("P", kProduct.toUtf8());
    update("3.1");
    EXPECT_EQ(version("P").metaType(), QMetaType::fromType<QByteArray>());
    EXPECT_EQ(version("P").toByteArray(), "3.1");
}

TEST_F(UninstallRegistry, NoMatchingEntryLogsOneLineAndWritesNothing) {
    setEntry("X", QString(kProduct).chopped(1));
    update("2.0.1");
    const std::string notFound = "no uninstall entry named " + kProduct.toStdString() + " in ";
    ASSERT_EQ(mLog.size(), 1u);
    EXPECT_EQ(mLog[0], notFound + file().toStdString() + ": version not recorded");
    EXPECT_EQ(version("X").toString(), "1.0.0");

    mLog.clear();
    const QString missing = mDir.filePath("missing.ini");
    OVPlatform::setUninstallDisplayVersion(
        kProduct.toStdU16String(), u"2", missing.toStdString(),
        [this](const std::string& line) { mLog.push_back(line); });
    ASSERT_EQ(mLog.size(), 1u);
    EXPECT_EQ(mLog[0], notFound + missing.toStdString() + ": version not recorded");
    EXPECT_FALSE(QFile::exists(missing));
}

TEST(UninstallEntryFile, EnvironmentFirstThenTheStoreFolder) {
    qunsetenv("OV_UNINSTALL_REGISTRY");
    EXPECT_EQ(OVUninstallEntry::registryFile("/s/peza-studio/"),
              "/s/peza-studio/uninstall-registry.ini");
    qputenv("OV_UNINSTALL_REGISTRY", "/elsewhere/reg.ini");
    EXPECT_EQ(OVUninstallEntry::registryFile("/s/peza-studio/"), "/elsewhere/reg.ini");
    qunsetenv("OV_UNINSTALL_REGISTRY");
}

}  // namespace
