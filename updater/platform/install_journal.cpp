#include <algorithm>
#include <fstream>
#include <vector>

#include "OVInstallJournal.h"

namespace OVPlatform {

namespace {

// One record a line: a kind, a tab, a value. Only lines that end in "\n"
// count: a record torn by a crash was never acted on.
const char kBegin[] = "begin";
const char kVersion[] = "version";
const char kPackage[] = "package";
const char kMakeDirectory[] = "mkdir";
const char kNewFile[] = "new";
const char kReplaceFile[] = "replace";
const char kComplete[] = "complete";

struct Record {
    std::string kind;
    std::string value;
};

std::string relativeText(const fs::path& relative) { return relative.generic_u8string(); }
fs::path fromRelativeText(const std::string& text) { return fs::u8path(text); }

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
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos;
         start = end + 1, end = text.find('\n', start)) {
        const std::string line = text.substr(start, end - start);
        const size_t tab = line.find('\t');
        records.push_back(tab == std::string::npos
                              ? Record{line, {}}
                              : Record{line.substr(0, tab), line.substr(tab + 1)});
    }
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
// finds already undone it leaves alone.
bool undo(const InstallWorkArea& area, const std::vector<Record>& records, const InstallLog& log,
          const InstallStepHook& step) {
    bool restored = true;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        const fs::path relative = fromRelativeText(it->value);
        const fs::path target = area.installDir / relative;
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
            if (!fs::remove(target, ec)) {
                log("rollback: cannot remove " + it->value + ": " + ec.message());
                restored = false;
                continue;
            }
        } else if (it->kind == kMakeDirectory) {
            if (!isDirectory(target)) continue;
            if (!fs::remove(target, ec)) {
                log("rollback: cannot remove folder " + it->value + ": " + ec.message());
                restored = false;
                continue;
            }
        } else {
            continue;
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
                             const InstallStepHook& step) {
    Recovery recovery;
    if (!present(area.workDir)) return recovery;
    const std::vector<Record> records = readJournal(area.journal());
    const bool begun = !records.empty() && records.front().kind == kBegin;
    const bool complete = begun && records.back().kind == kComplete;
    if (!begun) {
        log("recovery: no installation was committing, removing the leftover staging");
        recovery.action = Recovery::Action::LeftoversRemoved;
    } else if (complete) {
        for (const Record& record : records) {
            if (record.kind == kVersion) recovery.version = record.value;
            if (record.kind == kPackage) recovery.package = record.value;
        }
        log("recovery: the journal records a complete installation of " + recovery.version +
            ", finishing it");
        recovery.action = Recovery::Action::Completed;
    } else {
        log("recovery: unfinished installation journal, restoring the previous installation");
        if (!undo(area, records, log, step)) {
            log("recovery: the previous installation could not be restored; journal and backups "
                "kept");
            recovery.action = Recovery::Action::Failed;
            return recovery;
        }
        recovery.action = Recovery::Action::RolledBack;
    }
    if (!removeWorkArea(area, step))
        log("recovery: the work folder could not be removed completely");
    return recovery;
}

bool removeWorkArea(const InstallWorkArea& area, const InstallStepHook& step) {
    // The journal goes last: until then a new start can still finish the job.
    const bool removed = removeAll(area.staging(), step) && removeAll(area.backup(), step) &&
                         removeAll(area.journal(), step);
    std::error_code ignored;
    fs::remove(area.workDir, ignored);
    return removed && !present(area.workDir);
}

}  // namespace OVPlatform
