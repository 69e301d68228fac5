#include "UpdateRun.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QThread>

#include "IpcObjects.h"
#include "QtTestApp.h"

namespace updatertest {

void UpdateRunTest::prepare(const QString& updaterDir, const char* packageName) {
    ASSERT_TRUE(mBackend.running());
    ASSERT_TRUE(QDir().mkpath(updaterDir));
    mUpdater = updaterDir + "/Update";
    ASSERT_TRUE(QFile::copy(UPDATE_PROGRAM, mUpdater));
    ASSERT_TRUE(writeFile(
        mSandbox.filePath("stub.sh"),
        "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args.tmp\" && mv \"$0.args.tmp\" \"$0.args\"\n"));
    QFile::setPermissions(mSandbox.filePath("stub.sh"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QSettings settings(studio() + "update.ini", QSettings::IniFormat);
    settings.setValue("update/host", QString::fromStdString(mBackend.url()));
    settings.setValue("update/caFile", QString::fromStdString(mBackend.caFile()));
    QSettings registry(registryFile(), QSettings::IniFormat);
    registry.setValue("peza/DisplayName", QStringLiteral("沛扎直播"));
    registry.setValue("peza/DisplayVersion", "2.0.0");
    registry.setValue("pezaPro/DisplayName", QStringLiteral("沛扎直播 Pro"));
    registry.setValue("pezaPro/DisplayVersion", "2.0.0");
    mBackend.writeManifest(
        std::string(R"({"packages": [{"packageCode": "LUMI_DESK", "versionName": "2.0.1",)") +
        R"( "versionValue": 2000000000, "description": "notes", "file": ")" + packageName +
        R"("}]})");
}

void UpdateRunTest::TearDown() {
    // What killed instances left; a clean end removes its own.
    testsupport::removeIpcObjectsKeyedIn(mSandbox.path().toStdString());
}

QProcessEnvironment UpdateRunTest::environment(const QMap<QString, QString>& extra) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString home = mSandbox.filePath("home");
    environment.insert("HOME", home);
    environment.insert("TMPDIR", mSandbox.path());
    environment.insert("XDG_DATA_HOME", home + "/.local/share");
    environment.insert("XDG_CONFIG_HOME", home + "/.config");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("OV_UNINSTALL_REGISTRY", registryFile());
    for (auto it = extra.begin(); it != extra.end(); ++it) environment.insert(it.key(), it.value());
    return environment;
}

QStringList UpdateRunTest::updateArguments(const QString& remoteVersion,
                                           const QString& localVersion) const {
    return {mSandbox.filePath("stub.sh"), remoteVersion, localVersion, "upgrade"};
}

int UpdateRunTest::runUpdate(const QMap<QString, QString>& extra, const QString& remoteVersion,
                             const QString& localVersion) {
    QProcess update;
    update.setProcessEnvironment(environment(extra));
    // Its log lines also go to standard error; the log file has them.
    update.setStandardErrorFile(QProcess::nullDevice());
    update.setStandardOutputFile(QProcess::nullDevice());
    update.start(mUpdater, updateArguments(remoteVersion, localVersion));
    testsupport::noteUpdateProcess(update.processId());
    if (!update.waitForFinished(120000)) {
        update.kill();
        update.waitForFinished();
        return -1000;
    }
    if (update.exitStatus() == QProcess::CrashExit) return -9;
    return update.exitCode();
}

QByteArray UpdateRunTest::restartArguments() const {
    QDeadlineTimer deadline(10000);
    while (!QFile::exists(mSandbox.filePath("stub.sh.args")) && !deadline.hasExpired())
        QThread::msleep(20);
    return readFile(mSandbox.filePath("stub.sh.args"));
}

QVariant UpdateRunTest::setting(const char* key) const {
    return QSettings(studio() + "update.ini", QSettings::IniFormat).value(key);
}

QString UpdateRunTest::registryVersion(const char* entry) const {
    return QSettings(registryFile(), QSettings::IniFormat)
        .value(QString(entry) + "/DisplayVersion")
        .toString();
}

QString UpdateRunTest::logText() const {
    return QString::fromUtf8(readFile(studio() + "logs/peza-update.txt"));
}

QMap<QString, QByteArray> treeManifest(const QString& root) {
    QMap<QString, QByteArray> manifest;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(root).relativeFilePath(path);
        if (it.fileInfo().isDir() && !it.fileInfo().isSymLink()) {
            manifest.insert(relative, "dir");
            continue;
        }
        QFile file(path);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (file.open(QIODevice::ReadOnly)) hash.addData(&file);
        manifest.insert(relative, QByteArray::number(file.size()) + ' ' + hash.result().toHex());
    }
    return manifest;
}

}  // namespace updatertest
