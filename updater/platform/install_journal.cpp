#include <algorithm>
#include <ctime>
#include <fstream>
#include <vector>

#include "OVInstallJournal.h"
#include "journal_records.h"

namespace OVPlatform {

namespace {

using namespace journal;

std::string relativeText(const fs::path& relative) { return relative.generic_u8string(); }

bool present(const fs::path& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

bool isDirectory(const fs::path& path) {
    std::error_code ignored;
    return fs::is_directory(fs::symlink_status(path, ignored));
}

std::vector<Record> readJournal(const fs::path& file) {
    std::vector<Record> records;
    std::string ignored;
    journal::read(file, records, ignored);
    return records;
}

class Journal {
public:
    Journal(fs::path file, const InstallStepHook& step) : mFile(std::move(file)), mStep(step) {}

    bool record(const std::string& text, std::string& error) {
        if (!installfs::appendDurably(mFile, text + "\n", error)) return false;
        if (mStep) mStep();
        return true;
    }
    bool record(const char* kind, const fs::path& relative, std::string& error) {
        return record(std::string(kind) + "\t" + relativeText(relative), error);
    }

private:
    fs::path mFile;
    const InstallStepHook& mStep;
};

// Undoes the recorded steps, last first. Each undo can be repeated: what it
// finds already undone it leaves alone, and what the commit did not put
// there (a folder where it made a file, files in a folder it made) stays.
bool undo(const InstallWorkArea& area, const std::vector<Record>& records, const InstallLog& log,
          const InstallStepHook& step) {
    bool restored = true;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (it->kind != kReplaceFile && it->kind != kNewFile && it->kind != kMakeDirectory)
            continue;
        const fs::path relative = relativePath(it->value);
        const fs::path target = area.installDir / relative;
        if (!reachableWithoutLinks(area.installDir, relative) ||
            (it->kind == kReplaceFile && !reachableWithoutLinks(area.backup(), relative))) {
            log("rollback: " + it->value + " lies behind a symbolic link or a file; left alone");
            continue;
        }
        std::error_code ec;
        std::string error;
        if (it->kind == kReplaceFile) {
            const fs::path saved = area.backup() / relative;
            if (!present(saved)) continue;
            if (!installfs::moveReplacing(saved, target, error)) {
                log("rollback: cannot restore " + it->value + ": " + error);
                restored = false;
                continue;
            }
        } else if (it->kind == kNewFile) {
            if (!present(target)) continue;
            if (isDirectory(target)) {
                log("rollback: " + it->value +
                    " is a folder the update did not make; left in place");
                continue;
            }
            if (!fs::remove(target, ec)) {
                log("rollback: cannot remove " + it->value + ": " + ec.message());
                restored = false;
                continue;
            }
        } else {
            if (!isDirectory(target)) continue;
            if (!fs::is_empty(target, ec)) {
                log("rollback: folder " + it->value +
                    " holds files the update did not put there; left in place with them");
                continue;
            }
            if (!fs::remove(target, ec)) {
                log("rollback: cannot remove folder " + it->value + ": " + ec.message());
                restored = false;
                continue;
            }
        }
        if (step) step();
    }
    return restored;
}

class Commit {
public:
    Commit(const InstallWorkArea& area, const InstallStepHook& step)
        : mArea(area), mStep(step), mJournal(area.journal(), step) {}

    bool begin(const std::string& version, const std::string& package) {
        return mJournal.record(std::string(kBegin) + "\n" + kVersion + "\t" + version + "\n" +
                                   kPackage + "\t" + package,
                               mFailure);
    }

    // The folder's entries in name order, folders before their contents.
    bool moveFolder(const fs::path& relative) {
        std::error_code ec;
        std::vector<fs::path> names;
        for (fs::directory_iterator it(mArea.staging() / relative, ec), end; !ec && it != end;
             it.increment(ec))
            names.push_back(it->path().filename());
        if (ec) return fail(relative, "cannot list the staged folder: " + ec.message());
        std::sort(names.begin(), names.end());
        for (const fs::path& name : names) {
            const fs::path entry = relative / name;
            const bool ok = isDirectory(mArea.staging() / entry)
                                ? placeFolder(entry) && moveFolder(entry)
                                : placeFile(entry);
            if (!ok) return false;
        }
        return true;
    }

    bool complete() { return mJournal.record(kComplete, mFailure); }
    const std::string& failure() const { return mFailure; }

private:
    bool fail(const fs::path& relative, const std::string& why) {
        if (mFailure.empty()) mFailure = relativeText(relative) + ": " + why;
        return false;
    }
    void stepDone() {
        if (mStep) mStep();
    }

    bool placeFolder(const fs::path& relative) {
        const fs::path target = mArea.installDir / relative;
        if (isDirectory(target)) return true;
        if (present(target)) return fail(relative, "a file stands where the package has a folder");
        std::string error;
        if (!mJournal.record(kMakeDirectory, relative, error)) return fail(relative, error);
        std::error_code ec;
        if (!fs::create_directory(target, ec)) return fail(relative, ec.message());
        stepDone();
        return true;
    }

    bool placeFile(const fs::path& relative) {
        const fs::path staged = mArea.staging() / relative;
        const fs::path target = mArea.installDir / relative;
        std::string error;
        if (isDirectory(target))
            return fail(relative, "a folder stands where the package has a file");
        if (present(target)) {
            const fs::path saved = mArea.backup() / relative;
            std::error_code ec;
            fs::create_directories(saved.parent_path(), ec);
            if (ec) return fail(relative, "cannot make its backup folder: " + ec.message());
            if (!mJournal.record(kReplaceFile, relative, error)) return fail(relative, error);
            if (!installfs::moveReplacing(target, saved, error))
                return fail(relative, "cannot move it aside: " + error);
            stepDone();
        } else if (!mJournal.record(kNewFile, relative, error)) {
            return fail(relative, error);
        }
        if (!installfs::moveReplacing(staged, target, error)) return fail(relative, error);
        stepDone();
        return true;
    }

    const InstallWorkArea& mArea;
    const InstallStepHook& mStep;
    Journal mJournal;
    std::string mFailure;
};

bool removeAll(const fs::path& path, const InstallStepHook& step) {
    if (!present(path)) return true;
    std::error_code ec;
    fs::remove_all(path, ec);
    if (step) step();
    return !ec;
}

// "<installation>.update.broken-<UTC time>", with a number added when taken.
fs::path brokenFolder(const InstallWorkArea& area) {
    const std::time_t now = std::time(nullptr);
    char stamp[32] = {0};
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::gmtime(&now));
    const fs::path base =
        area.workDir.native() + fs::path(".broken-").native() + fs::path(stamp).native();
    fs::path folder = base;
    for (int n = 2; present(folder); ++n)
        folder = base.native() + fs::path("-" + std::to_string(n)).native();
    return folder;
}

// Moves the journal, backups and staging (or, with whole, the work folder
// itself, never followed) into a broken folder where nothing acts on them.
bool setAside(const InstallWorkArea& area, const InstallLog& log, const std::string& why,
              bool whole) {
    const fs::path folder = brokenFolder(area);
    std::string error;
    bool moved = true;
    if (whole) {
        moved = installfs::moveReplacing(area.workDir, folder, error);
    } else {
        std::error_code ec;
        moved = fs::create_directory(folder, ec);
        if (!moved) error = ec.message();
        for (const fs::path& item : {area.journal(), area.backup(), area.staging()}) {
            if (moved && present(item))
                moved = installfs::moveReplacing(item, folder / item.filename(), error);
        }
    }
    log("recovery: " + why +
        (moved ? "; set aside untouched in " + folder.u8string()
               : "; it could not be set aside: " + error));
    return moved;
}

// Counts a failed recovery in the work folder; returns the count so far.
int countFailedRecovery(const InstallWorkArea& area) {
    int failures = 0;
    {
        std::ifstream in(area.failedRecoveries());
        if (!(in >> failures) || failures < 0) failures = 0;
    }
    std::ofstream(area.failedRecoveries(), std::ios::trunc) << ++failures << "\n";
    return failures;
}

// Undoes an unfinished journal. When that fails, the start ends without the
// main application, up to kRecoveryAttempts times; then the journal and
// backups are set aside and the start carries on with what the tree holds.
Recovery::Action undoOrGiveUp(const InstallWorkArea& area, const std::vector<Record>& records,
                              const InstallLog& log, const InstallStepHook& step) {
    if (undo(area, records, log, step)) return Recovery::Action::RolledBack;
    if (countFailedRecovery(area) <= kRecoveryAttempts) {
        log("recovery: the previous installation could not be restored; journal and backups "
            "kept");
        return Recovery::Action::Failed;
    }
    return setAside(area, log,
                    "the previous installation could not be restored after " +
                        std::to_string(kRecoveryAttempts) +
                        " failed starts; the installation may mix old and new files",
                    false)
               ? Recovery::Action::SetAside
               : Recovery::Action::Failed;
}

}  // namespace

InstallWorkArea::InstallWorkArea(const fs::path& installation)
    : installDir(installation.has_filename() ? installation : installation.parent_path()),
      workDir(installDir.parent_path() /
              (installDir.filename().native() + fs::path(".update").native())) {}

CommitResult commitStaged(const InstallWorkArea& area, const std::string& version,
                          const std::string& package, const InstallLog& log,
                          const InstallStepHook& step) {
    CommitResult result;
    std::error_code ec;
    fs::create_directories(area.backup(), ec);
    Commit commit(area, step);
    if (!ec && commit.begin(version, package) && commit.moveFolder(fs::path()) &&
        commit.complete()) {
        result.committed = true;
        return result;
    }
    result.failure = ec ? "cannot make the backup folder: " + ec.message() : commit.failure();
    log("install commit failed: " + result.failure + "; restoring the previous installation");
    result.restored = undo(area, readJournal(area.journal()), log, step);
    if (result.restored) removeWorkArea(area, step);
    return result;
}

Recovery recoverInstallation(const InstallWorkArea& area, const InstallLog& log,
                             const InstallStepHook& step, const VersionCheck& versionValid) {
    Recovery recovery;
    std::error_code ec;
    const fs::file_status work = fs::symlink_status(area.workDir, ec);
    if (!fs::exists(work)) return recovery;
    if (work.type() != fs::file_type::directory ||
        !installfs::sameOwner(area.workDir, area.installDir)) {
        const std::string why = fs::is_symlink(work)     ? "is a symbolic link"
                                : fs::is_directory(work) ? "is not owned as the installation is"
                                                         : "is not a folder";
        recovery.action = setAside(area, log, "the work folder " + why, true)
                              ? Recovery::Action::SetAside
                              : Recovery::Action::Failed;
        return recovery;
    }
    std::vector<Record> records;
    std::string why;
    if (present(area.journal()) && (!journal::read(area.journal(), records, why) ||
                                    !(why = problem(records, versionValid)).empty())) {
        // Set aside, the start goes on as with no journal.
        if (!setAside(area, log, "the journal is refused: " + why, false)) {
            recovery.action = Recovery::Action::Failed;
            return recovery;
        }
        recovery.action = Recovery::Action::SetAside;
    } else if (records.empty()) {
        log("recovery: no installation was committing, removing the leftover staging");
        recovery.action = Recovery::Action::LeftoversRemoved;
    } else if (records.back().kind == kComplete) {
        for (const Record& record : records) {
            if (record.kind == kVersion) recovery.version = record.value;
            if (record.kind == kPackage) recovery.package = record.value;
        }
        log("recovery: the journal records a complete installation of " + recovery.version +
            ", finishing it");
        recovery.action = Recovery::Action::Completed;
    } else {
        log("recovery: unfinished installation journal, restoring the previous installation");
        recovery.action = undoOrGiveUp(area, records, log, step);
        if (recovery.action == Recovery::Action::Failed) return recovery;
    }
    if (!removeWorkArea(area, step))
        log("recovery: the work folder could not be removed completely");
    return recovery;
}

bool removeWorkArea(const InstallWorkArea& area, const InstallStepHook& step) {
    // The journal goes last: until then a new start can still finish the job.
    const bool removed = removeAll(area.staging(), step) && removeAll(area.backup(), step) &&
                         removeAll(area.package(), step) &&
                         removeAll(area.failedRecoveries(), step) &&
                         removeAll(area.journal(), step);
    std::error_code ignored;
    fs::remove(area.workDir, ignored);
    return removed && !present(area.workDir);
}

bool removeStaging(const InstallWorkArea& area) { return removeAll(area.staging(), {}); }

}  // namespace OVPlatform
