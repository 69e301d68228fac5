#include "QtTestApp.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#ifdef UPDATER_TEST_WIDGETS
#include <QApplication>
#endif
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "ChildProcess.h"

namespace updatertest {

namespace {

class QtEnvironment : public testing::Environment {
public:
    void SetUp() override {
        mHome = std::make_unique<testsupport::TempDir>();
        ASSERT_FALSE(mHome->path().empty());
        const std::string home = mHome->path();
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
#ifdef UPDATER_TEST_WIDGETS
        mApp = std::make_unique<QApplication>(mArgc, mArgv);
#else
        mApp = std::make_unique<QCoreApplication>(mArgc, mArgv);
#endif
    }
    void TearDown() override { mApp.reset(); }

    QString home() const { return QString::fromStdString(mHome->path()); }

private:
    int mArgc = 1;
    char* mArgv[2] = {program_invocation_name, nullptr};
    std::unique_ptr<testsupport::TempDir> mHome;
    std::unique_ptr<QCoreApplication> mApp;
};

QtEnvironment* const gEnvironment =
    static_cast<QtEnvironment*>(testing::AddGlobalTestEnvironment(new QtEnvironment()));

}  // namespace

QString testHome() { return gEnvironment->home(); }

QString studioFolder() { return testHome() + QStringLiteral("/.local/share/peza-studio/"); }

bool processEventsUntil(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    // Wakes the wait for events now and then to look at done() again.
    QTimer tick;
    tick.start(20);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

}  // namespace updatertest
