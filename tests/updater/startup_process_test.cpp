// The Update program as a process under the offscreen platform, each test
// with a home and a temporary folder of its own (the single-instance objects
// are keyed by files in the temporary folder).
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include "IpcObjects.h"
#include "startup/OVCommandLine.h"

namespace {

class UpdateProgram : public testing::Test {
protected:
    // The instances killed here leave their System V objects.
    void TearDown() override {
        testsupport::removeIpcObjectsKeyedIn(mSandbox.path().toStdString());
    }

    std::unique_ptr<QProcess> start(const QStringList& arguments) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const QString home = mSandbox.path();
        environment.insert("HOME", home);
        environment.insert("TMPDIR", home);
        environment.insert("XDG_DATA_HOME", home + "/.local/share");
        environment.insert("XDG_CONFIG_HOME", home + "/.config");
        environment.insert("XDG_CACHE_HOME", home + "/.cache");
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(UPDATE_PROGRAM, arguments);
        EXPECT_TRUE(process->waitForStarted(10000));
        testsupport::noteUpdateProcess(process->processId());
        return process;
    }
    QString log() const {
        QFile file(mSandbox.path() + "/.local/share/peza-studio/logs/peza-update.txt");
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // Waits until the log holds the text `times` times.
    bool logShows(const QString& text, int times = 1) const {
        QDeadlineTimer deadline(20000);
        while (log().count(text) < times) {
            if (deadline.hasExpired()) return false;
            QThread::msleep(20);
        }
        return true;
    }
    void setContent(const QString& content) {
        QSettings settings(mSandbox.path() + "/.local/share/peza-studio/update.ini",
                           QSettings::IniFormat);
        settings.setValue("update/content", content);
    }
    static void stop(QProcess& process) {
        process.kill();
        process.waitForFinished(10000);
    }

    QTemporaryDir mSandbox;
};

TEST(CommandLine, PositionsNotesAndDirectMode) {
    EXPECT_FALSE(OVCommandLine({}).handsOverVersions());
    EXPECT_FALSE(OVCommandLine({"/app"}).handsOverVersions());

    const OVCommandLine two({"/app", "2.0.1"});
    EXPECT_TRUE(two.handsOverVersions());
    EXPECT_TRUE(two.localVersion().isNull());
    EXPECT_TRUE(two.notesFromSettings());

    EXPECT_TRUE(OVCommandLine({"/app", "2.0.1", "2.0.0"}).notesFromSettings());
    EXPECT_FALSE(OVCommandLine({"/app", "2.0.1", "2.0.0"}).directUpgrade());

    const OVCommandLine direct({"/app", "2.0.1", "2.0.0", "upgrade"});
    EXPECT_TRUE(direct.directUpgrade());
    EXPECT_TRUE(direct.notesFromSettings());

    const OVCommandLine notes({"/app", "2.0.1", "2.0.0", "Upgrade"});
    EXPECT_FALSE(notes.directUpgrade());
    EXPECT_FALSE(notes.notesFromSettings());
    EXPECT_EQ(notes.at(4), "Upgrade");

    const OVCommandLine five({"/app", "2.0.1", "2.0.0", "upgrade", "extra"});
    EXPECT_FALSE(five.directUpgrade());
    EXPECT_TRUE(five.notesFromSettings());
}

TEST_F(UpdateProgram, NotesFromArgumentsOrSettingsAndTheOfferWindowShown) {
    setContent("notes from the settings");
    auto process = start({"/app", "2.0.1", "2.0.0", "<b>new</b>"});
    ASSERT_TRUE(logShows("【升级弹窗】 show"));
    EXPECT_TRUE(log().contains("get update content from args  \"<b>new</b>\""));
    stop(*process);

    process = start({"/app", "2.0.1", "2.0.0", "upgrade", "more"});
    ASSERT_TRUE(logShows("【升级弹窗】 show", 2));
    EXPECT_TRUE(log().contains("get update content from config file"));
    EXPECT_FALSE(log().contains("【直接升级】"));
    stop(*process);

    process = start({});
    ASSERT_TRUE(logShows("【升级弹窗】 show", 3));
    EXPECT_EQ(log().count("get update content"), 2);
    stop(*process);
}

TEST_F(UpdateProgram, DirectModeWithExactlyFourArgumentsSkipsTheOffer) {
    auto process = start({"/app", "2.0.1", "2.0.0", "upgrade"});
    ASSERT_TRUE(logShows("on_btConfirm_clicked invoke"));
    EXPECT_TRUE(log().contains("【直接升级】 argc= 5 ,argv[4]= \"upgrade\""));
    EXPECT_TRUE(log().contains("get update content from config file"));
    EXPECT_FALSE(log().contains("【升级弹窗】"));
    stop(*process);
}

TEST_F(UpdateProgram, SecondInstanceEndsWith255AndLeavesTheFirstRunning) {
    auto first = start({"/app", "2.0.1", "2.0.0", "notes"});
    ASSERT_TRUE(logShows("【升级弹窗】 show"));
    auto second = start({"/app", "2.0.1", "2.0.0", "notes"});
    ASSERT_TRUE(second->waitForFinished(20000));
    EXPECT_EQ(second->exitCode(), 255);
    EXPECT_TRUE(log().contains("sharedMem attach failed"));
    EXPECT_EQ(first->state(), QProcess::Running);
    stop(*first);
}

// A kill -9 leaves the segment and the semaphore; the next run neither
// stops at them nor leaves them behind when SIGTERM ends it in the failure
// dialog (an unreachable backend).
TEST_F(UpdateProgram, ObjectsOfAKilledInstanceGoWithTheNextRunAndSigtermLeavesNone) {
    auto killed = start({"/app", "2.0.1", "2.0.0", "notes"});
    ASSERT_TRUE(logShows("【升级弹窗】 show"));
    stop(*killed);
    QSettings settings(mSandbox.path() + "/.local/share/peza-studio/update.ini",
                       QSettings::IniFormat);
    settings.setValue("update/host", "http://127.0.0.1:1");
    settings.sync();
    auto next = start({"/app", "2.0.1", "2.0.0", "upgrade"});
    ASSERT_TRUE(logShows("on_dlFinishedBack"));
    EXPECT_FALSE(log().contains("sharedMem attach failed"));
    EXPECT_TRUE(log().contains("a stale claim: the semaphore is made anew"));
    QThread::msleep(200);
    next->terminate();
    ASSERT_TRUE(next->waitForFinished(10000));
    EXPECT_EQ(next->exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(logShows("ended by a signal"));
    EXPECT_EQ(testsupport::removeIpcObjectsKeyedIn(mSandbox.path().toStdString()), 0);
}

}  // namespace
