#pragma once

// The harness of the tests that run the Update program as a whole: the
// reference backend offering a package, a copy of Update two folders below a
// sandbox installation, a stub main application that records its arguments,
// update.ini and the uninstall-registry INI in a sandbox home.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

#include "TestServers.h"

namespace updatertest {

class UpdateRunTest : public testing::Test {
protected:
    // Installs Update into updaterDir, writes the stub, the settings, the
    // uninstall entries (2.0.0) and a manifest offering packageName as
    // versionName 2.0.1.
    void prepare(const QString& updaterDir, const char* packageName);
    void TearDown() override;

    QProcessEnvironment environment(const QMap<QString, QString>& extra = {}) const;
    // Runs Update in direct-upgrade mode to its end; its exit status, -9
    // when it was killed, -1000 when it did not end in time.
    int runUpdate(const QMap<QString, QString>& extra = {}, const QString& remoteVersion = "2.0.1",
                  const QString& localVersion = "2.0.0");
    QStringList updateArguments(const QString& remoteVersion = "2.0.1",
                                const QString& localVersion = "2.0.0") const;

    // The stub's arguments, one a line, once it has run.
    QByteArray restartArguments() const;
    QString studio() const { return mSandbox.filePath("home") + "/.local/share/peza-studio/"; }
    QString registryFile() const { return mSandbox.filePath("registry.ini"); }
    QVariant setting(const char* key) const;
    QString registryVersion(const char* entry) const;
    QString logText() const;

    testsupport::ReferenceBackend mBackend;
    QTemporaryDir mSandbox;
    QString mUpdater;  // the Update copy
};

// Path -> "size sha256" of every file and "dir" of every folder below root.
QMap<QString, QByteArray> treeManifest(const QString& root);

}  // namespace updatertest
