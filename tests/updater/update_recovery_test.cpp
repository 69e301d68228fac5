// An update that goes wrong never leaves a broken installation: Update is
// killed anywhere in extraction and commit (SIGKILL from outside, or by
// itself after the k-th journal step), a file cannot be replaced, the disk
// fills up. After the next start's recovery the installation tree equals the
// old or the new tree, byte for byte (manifests of path, size, SHA-256).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include "IpcObjects.h"
#include "QtTestApp.h"
#include "TestServers.h"
#include "UpdateRun.h"

namespace {

using updatertest::readFile;
using updatertest::treeManifest;
using updatertest::writeFile;
using Manifest = QMap<QString, QByteArray>;

const char kPackageName[] = "peza-studio-2.0.1.7z";
constexpr int kFiles = 300;

// A few hundred files in twelve folders; generation 2 changes all of them,
// adds a folder of new files and a file at the very end of the commit order
// (mod11/zz-last.txt), drops nothing. A 2 MiB random file makes the
// extraction take a moment.
bool writeTree(const QString& root, int generation) {
    bool ok = writeFile(root + "/app.txt", generation == 1 ? "old app" : "new app");
    for (int i = 0; i < kFiles && ok; ++i) {
        const QString path = QString("%1/mod%2/file%3.txt")
                                 .arg(root)
                                 .arg(i % 12, 2, 10, QChar('0'))
                                 .arg(i, 3, 10, QChar('0'));
        ok = writeFile(path, QByteArray("generation ") + QByteArray::number(generation) + " file " +
                                 QByteArray::number(i) +
                                 QByteArray((i * 37) % 2000, char('a' + generation)));
    }
    if (generation == 1) return ok && writeFile(root + "/obsolete.txt", "kept");
    for (int i = 0; i < 20 && ok; ++i)
        ok = writeFile(QString("%1/added/new%2.txt").arg(root).arg(i),
                       "new file " + QByteArray::number(i));
    return ok && writeFile(root + "/mod11/zz-last.txt", "last") &&
           writeFile(root + "/big.bin",
                     QByteArray::fromStdString(testsupport::patternBytes(2 << 20, 5))) &&
           writeFile(root + "/bin/updater/msvcp140.dll", "new runtime");
}

class UpdateRecovery : public updatertest::UpdateRunTest {
protected:
    void SetUp() override { setUpIn(mSandbox.path()); }

    void setUpIn(const QString& root) {
        mInstall = root + "/install";
        ASSERT_TRUE(writeTree(mInstall, 1));
        ASSERT_TRUE(writeFile(mInstall + "/bin/updater/msvcp140.dll", "old runtime"));
        prepare(mInstall + "/bin/updater", kPackageName);
        const QString tree = mSandbox.filePath("tree");
        ASSERT_TRUE(writeTree(tree, 2));
        QProcess archiver;
        archiver.setWorkingDirectory(tree);
        archiver.start("7z", {"a", "-bd", mSandbox.filePath("p.7z"), "."});
        ASSERT_TRUE(archiver.waitForFinished(60000));
        ASSERT_EQ(archiver.exitCode(), 0);
        mBackend.writePackage(kPackageName, readFile(mSandbox.filePath("p.7z")).toStdString());
        mOld = treeManifest(mInstall);
        mNew = mOld;
        const Manifest package = treeManifest(tree);
        for (auto it = package.begin(); it != package.end(); ++it)
            if (it.key() != "bin/updater/msvcp140.dll") mNew.insert(it.key(), it.value());
        ASSERT_TRUE(copyTree(mInstall, mSandbox.filePath("pristine")));
    }

    static bool copyTree(const QString& from, const QString& to) {
        QDir(to).removeRecursively();
        return QProcess::execute("cp", {"-a", from, to}) == 0;
    }
    void restoreOldTree() { ASSERT_TRUE(copyTree(mSandbox.filePath("pristine"), mInstall)); }
    QString workFolder() const { return mInstall + ".update"; }

    // "old", "new", or "mixed" with the first difference from the nearer one.
    std::string treeState() const {
        const Manifest now = treeManifest(mInstall);
        if (now == mOld) return "old";
        if (now == mNew) return "new";
        int oldDiffers = 0, newDiffers = 0;
        for (auto it = now.begin(); it != now.end(); ++it) {
            oldDiffers += mOld.value(it.key()) != it.value();
            newDiffers += mNew.value(it.key()) != it.value();
        }
        return "mixed (" + std::to_string(oldDiffers) + " entries differ from the old tree, " +
               std::to_string(newDiffers) + " from the new)";
    }

    int recoverOnly(const QMap<QString, QString>& extra = {}) {
        QMap<QString, QString> environment = extra;
        environment.insert("OV_TEST_EXIT_AFTER_RECOVERY", "1");
        return runUpdate(environment);
    }

    QString mInstall;
    Manifest mOld;
    Manifest mNew;
};

// The 954 journal steps of this package's commit: "begin" (1), a record and
// a change per new folder (1) and new file (22), a record and two moves per
// replaced file (301), "complete" (950); then the removal of staging,
// backups, the package copy and journal (951 to 954). The points cover every kind of step and
// every phase of a replacement (after its record, after the move aside,
// after the move into place).
TEST_F(UpdateRecovery, KilledAnywhereTheNextStartRestoresTheOldOrTheNewTree) {
    const int points[] = {1,   2,   3,   4,   5,   45,  46,  47,  500,
                          501, 502, 948, 949, 950, 951, 952, 953, 954};
    int mixes = 0, old = 0, fresh = 0;
    for (int k : points) {
        SCOPED_TRACE("killed after journal step " + std::to_string(k));
        restoreOldTree();
        EXPECT_EQ(runUpdate({{"OV_TEST_KILL_AFTER_STEP", QString::number(k)}}), -9);
        const std::string atKill = treeState();
        EXPECT_EQ(recoverOnly(), 0);
        const std::string state = treeState();
        std::printf("kill after step %d: at the kill %s, after recovery %s\n", k, atKill.c_str(),
                    state.c_str());
        mixes += state != "old" && state != "new";
        old += state == "old";
        fresh += state == "new";
        EXPECT_TRUE(state == "old" || state == "new") << state;
        EXPECT_FALSE(QFileInfo::exists(workFolder()));
    }
    std::printf("kill-anywhere: %zu points, %d old, %d new, %d mixed\n", std::size(points), old,
                fresh, mixes);
    EXPECT_EQ(mixes, 0);
    EXPECT_GT(old, 0);
    EXPECT_GT(fresh, 0);
    EXPECT_TRUE(logText().contains("recovery: unfinished installation journal"));
    EXPECT_TRUE(
        logText().contains("recovery: the journal records a complete installation of 2.0.1"));
}

TEST_F(UpdateRecovery, KilledDuringItsOwnRecoveryTheNextStartRecoversAgain) {
    EXPECT_EQ(runUpdate({{"OV_TEST_KILL_AFTER_STEP", "700"}}), -9);
    for (int k : {1, 50, 100}) {
        SCOPED_TRACE("recovery killed after step " + std::to_string(k));
        EXPECT_EQ(recoverOnly({{"OV_TEST_KILL_AFTER_STEP", QString::number(k)}}), -9);
    }
    EXPECT_EQ(recoverOnly(), 0);
    EXPECT_EQ(treeState(), "old");
    EXPECT_FALSE(QFileInfo::exists(workFolder()));
    // And the next update goes through.
    EXPECT_EQ(runUpdate(), 255);
    EXPECT_EQ(treeState(), "new");
}

// Journals and work folders that another program of the user wrote: nothing
// outside the installation is touched, a refused journal is set aside with
// its backups, and the same start goes on to install the offered update.
TEST_F(UpdateRecovery, HostileJournalsNeverReachOutsideAndTheOfferStillInstalls) {
    const QString outside = mSandbox.filePath("outside");
    const QString work = workFolder();
    const QByteArray head = "begin\nversion\t2.0.1\npackage\tp.7z\n";
    const struct {
        const char* name;
        QByteArray journal;  // "@" stands for the outside folder
        bool setAside;
    } cases[] = {
        {"new with ..", head + "new\t../outside/f\n", true},
        {"new absolute", head + "new\t@/f\n", true},
        {"replace with .. and a planted backup", head + "replace\t../outside/f\n", true},
        {"mkdir absolute", head + "mkdir\t@/emptydir\n", true},
        {"mkdir with ..", head + "mkdir\tmod00/../../outside/emptydir\n", true},
        {"complete naming an outside package", head + "complete\n", false},
        {"empty path", head + "new\t\n", true},
        {"a version that does not parse", "begin\nversion\t../../x\nnew\tapp.txt\n", true},
        {"garbage first line, backups kept", "garbage\n" + head + "replace\tapp.txt\n", true},
        {"a folder as new", head + "new\tmod00\n", false},
        {"missing backups", head + "replace\tapp.txt\n", false},
        {"a journal that is a folder", "", true},
        {"a symlinked work folder", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restoreOldTree();
        QDir(work).removeRecursively();  // what a planted file kept there
        QDir(outside).removeRecursively();
        ASSERT_TRUE(writeFile(outside + "/f", "victim"));
        ASSERT_TRUE(writeFile(outside + "/staging/s", "victim"));
        ASSERT_TRUE(writeFile(outside + "/backup/b", "victim"));
        ASSERT_TRUE(QDir().mkpath(outside + "/emptydir"));
        const Manifest victims = treeManifest(outside);
        const std::string name = c.name;
        if (name == "a symlinked work folder") {
            ASSERT_TRUE(QFile::link(outside, work));
        } else if (name == "a journal that is a folder") {
            ASSERT_TRUE(QDir().mkpath(work + "/journal/inside"));
        } else {
            QByteArray journal = c.journal;
            journal.replace("@", outside.toUtf8());
            if (name == "complete naming an outside package")
                journal.replace("package\tp.7z", "package\t" + outside.toUtf8() + "/f");
            ASSERT_TRUE(writeFile(work + "/journal", journal));
            ASSERT_TRUE(writeFile(work + "/backup/app.txt", "kept backup"));
            if (name == "replace with .. and a planted backup") {
                ASSERT_TRUE(writeFile(work + "/outside/f", "planted"));
            }
            if (name == "missing backups") QDir(work + "/backup").removeRecursively();
        }
        EXPECT_EQ(runUpdate(), 255);
        EXPECT_EQ(treeManifest(outside), victims);
        const QStringList broken =
            QDir(mSandbox.path()).entryList({"install.update.broken-*"}, QDir::AllEntries);
        EXPECT_EQ(broken.size(), c.setAside ? 1 : 0);
        if (name == "garbage first line, backups kept" && broken.size() == 1) {
            EXPECT_EQ(readFile(mSandbox.filePath(broken[0]) + "/backup/app.txt"), "kept backup");
        }
        EXPECT_EQ(treeState(), "new");
        EXPECT_FALSE(QFileInfo::exists(work + "/journal"));
        for (const QString& folder : broken) {
            QFile::remove(mSandbox.filePath(folder));  // the symlink
            QDir(mSandbox.filePath(folder)).removeRecursively();
        }
    }
    EXPECT_TRUE(logText().contains("the journal is refused: record 4 (new) does not name a path"));
    EXPECT_TRUE(logText().contains("the work folder is a symbolic link; set aside untouched in"));
}

// The commit made a folder and was killed; then something else put a file
// into it. The rollback keeps that folder and file, and the update goes on.
TEST_F(UpdateRecovery, FolderTheCommitMadeThatNowHoldsAForeignFileIsLeftAndTheUpdateGoesOn) {
    // Steps: 1 "begin", 2 the record of the first new folder (added/), 3 its
    // creation.
    EXPECT_EQ(runUpdate({{"OV_TEST_KILL_AFTER_STEP", "3"}}), -9);
    ASSERT_TRUE(QFileInfo(mInstall + "/added").isDir());
    ASSERT_TRUE(writeFile(mInstall + "/added/mine.txt", "the user's"));
    EXPECT_EQ(recoverOnly(), 0);
    EXPECT_EQ(readFile(mInstall + "/added/mine.txt"), "the user's");
    EXPECT_FALSE(QFileInfo::exists(workFolder()));
    EXPECT_TRUE(logText().contains(
        "rollback: folder added holds files the update did not put there; left in place"));
    EXPECT_EQ(runUpdate(), 255);
    EXPECT_EQ(readFile(mInstall + "/added/mine.txt"), "the user's");
    EXPECT_EQ(readFile(mInstall + "/app.txt"), "new app");
}

// A file that cannot be restored (here a folder with contents stands in its
// place) ends three starts without the main application; the fourth sets the
// journal and backups aside and carries on.
TEST_F(UpdateRecovery, RecoveryThatFailsThreeStartsIsSetAsideOnTheFourth) {
    ASSERT_TRUE(writeFile(workFolder() + "/journal",
                          "begin\nversion\t2.0.1\npackage\tp.7z\nreplace\tapp.txt\n"));
    ASSERT_TRUE(writeFile(workFolder() + "/backup/app.txt", "old app"));
    ASSERT_TRUE(QFile::remove(mInstall + "/app.txt"));
    ASSERT_TRUE(writeFile(mInstall + "/app.txt/blocker", "in the way"));
    for (int start = 1; start <= 3; ++start) EXPECT_EQ(recoverOnly(), 255) << start;
    EXPECT_EQ(recoverOnly(), 0);
    const QStringList broken =
        QDir(mSandbox.path()).entryList({"install.update.broken-*"}, QDir::Dirs);
    ASSERT_EQ(broken.size(), 1);
    EXPECT_EQ(readFile(mSandbox.filePath(broken[0]) + "/backup/app.txt"), "old app");
    EXPECT_FALSE(QFileInfo::exists(workFolder()));
    EXPECT_TRUE(logText().contains("after 3 failed starts; the installation may mix"));
}

// 7z's own process: the child of Update.
pid_t childOf(qint64 pid) {
    const QByteArray children = readFile(QString("/proc/%1/task/%1/children").arg(pid)).trimmed();
    return children.isEmpty() || children == "<missing>" ? -1 : children.split(' ').first().toInt();
}

TEST_F(UpdateRecovery, KilledFromOutsideDuringExtractionWithItsArchiverOrphaned) {
    QProcess update;
    update.setProcessEnvironment(environment());
    update.setStandardOutputFile(QProcess::nullDevice());
    update.setStandardErrorFile(QProcess::nullDevice());
    update.start(mUpdater, updateArguments());
    ASSERT_TRUE(update.waitForStarted());
    testsupport::noteUpdateProcess(update.processId());
    pid_t archiver = -1;
    for (int i = 0; i < 20000 && archiver <= 0; ++i) {
        archiver = childOf(update.processId());
        if (archiver <= 0) QThread::usleep(500);
    }
    ASSERT_GT(archiver, 0);
    // Some of the package is in the staging folder.
    for (int i = 0; i < 20000 && QDir(workFolder() + "/staging").isEmpty(); ++i)
        QThread::usleep(200);
    ::kill(static_cast<pid_t>(update.processId()), SIGKILL);
    update.waitForFinished();
    const bool orphanRunning = ::kill(archiver, 0) == 0;
    ::kill(archiver, SIGKILL);
    std::printf("killed during extraction; the orphaned archiver was %s\n",
                orphanRunning ? "still running" : "done");
    EXPECT_EQ(treeState(), "old");
    EXPECT_EQ(recoverOnly(), 0);
    EXPECT_EQ(treeState(), "old");
    EXPECT_FALSE(QFileInfo::exists(workFolder()));
    EXPECT_TRUE(logText().contains("recovery: no installation was committing"));
}

TEST_F(UpdateRecovery, FileThatCannotBeReplacedLeavesEverythingAsBefore) {
    // A folder where the package has the last file of the commit.
    ASSERT_TRUE(writeFile(mInstall + "/mod11/zz-last.txt/inside.txt", "a folder"));
    const Manifest before = treeManifest(mInstall);
    EXPECT_EQ(runUpdate(), 255);
    EXPECT_EQ(restartArguments(), "OpenByUpdate\n2.0.0\n");
    EXPECT_EQ(treeManifest(mInstall), before);
    EXPECT_FALSE(QFileInfo::exists(workFolder()));
    EXPECT_EQ(setting("update/setupProgress").toInt(), -1);
    EXPECT_EQ(registryVersion("peza"), "2.0.0");
    EXPECT_TRUE(QFile::exists(studio() + kPackageName));
    EXPECT_TRUE(logText().contains(
        "install commit failed: mod11/zz-last.txt: a folder stands where the package has a file"));
}

// The installation on a small tmpfs that the package does not fit on.
class UpdateOnAFullDisk : public UpdateRecovery {
protected:
    void SetUp() override {
        mVolume = mSandbox.filePath("volume");
        ASSERT_TRUE(QDir().mkpath(mVolume));
        // Room for Update, the old tree and the package's copy (its 2 MiB
        // random file and a little more), not for the extracted tree.
        const qint64 room = QFileInfo(UPDATE_PROGRAM).size() + (1 << 20) + (9 << 18);
        const QByteArray options = "size=" + QByteArray::number(room / 1024 + 512) + "k";
        if (mount("tmpfs", mVolume.toUtf8().constData(), "tmpfs", 0, options.constData()) != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno)
                         << "), disk-full test skipped";
        mMounted = true;
        setUpIn(mVolume);
    }
    void TearDown() override {
        UpdateRecovery::TearDown();
        if (mMounted) umount2(mVolume.toUtf8().constData(), MNT_DETACH);
    }
    QString mVolume;
    bool mMounted = false;
};

TEST_F(UpdateOnAFullDisk, ExtractionThatFillsTheDiskLeavesTheTreeUnchanged) {
    EXPECT_EQ(runUpdate(), 255);
    EXPECT_EQ(restartArguments(), "OpenByUpdate\n2.0.0\n");
    EXPECT_EQ(treeState(), "old");
    EXPECT_FALSE(QFileInfo::exists(workFolder()));
    EXPECT_EQ(setting("update/setupProgress").toInt(), -1);
    EXPECT_EQ(registryVersion("peza"), "2.0.0");
    EXPECT_TRUE(logText().contains("extraction incomplete"));
}

}  // namespace
