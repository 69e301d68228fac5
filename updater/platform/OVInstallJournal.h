#pragma once

// The installation's commit: staged files are moved into the installation
// folder one at a time, each replaced file first moved into a backup folder,
// and every step recorded in a journal that is written and flushed before the
// step. A failed move is undone from the journal; an unfinished journal left
// by a killed process is undone (or, when it records completion, finished) by
// the next start. Plain C++; the file moves are the platform's (rename,
// MoveFileExW).

#include <filesystem>
#include <functional>
#include <string>

namespace OVPlatform {

namespace fs = std::filesystem;

// The work folder lies beside the installation folder, on the same volume
// and outside its tree: "<installation>.update" with staging/, backup/ and
// the journal file.
struct InstallWorkArea {
    explicit InstallWorkArea(const fs::path& installDir);
    fs::path installDir;
    fs::path workDir;
    fs::path staging() const { return workDir / "staging"; }
    fs::path backup() const { return workDir / "backup"; }
    fs::path journal() const { return workDir / "journal"; }
    // The checked copy of the package that the installation extracts.
    fs::path package() const { return workDir / "package"; }
    // Starts whose recovery could not restore the installation.
    fs::path failedRecoveries() const { return workDir / "failed-recoveries"; }
};

// Log lines, UTF-8.
using InstallLog = std::function<void(const std::string& line)>;
// Called after every journal record and every change of the file system made
// by a commit or a recovery; tests end the process there.
using InstallStepHook = std::function<void()>;
// Whether a journal's version record may be acted on.
using VersionCheck = std::function<bool(const std::string& version)>;

struct CommitResult {
    bool committed = false;
    std::string failure;  // which file failed, and why
    // After a failure: false when some step could not be undone; the
    // journal and the backups are then kept for the next start.
    bool restored = true;
};

// Moves everything under staging/ into the installation. On success the
// journal records completion (the work folder stays until removeWorkArea);
// on failure every step is undone and the installation is as before.
// version and package (the package's plain file name) are kept in the
// journal for a recovery that completes.
CommitResult commitStaged(const InstallWorkArea& area, const std::string& version,
                          const std::string& package, const InstallLog& log,
                          const InstallStepHook& step);

// Starts in a row whose recovery may fail (each ending without starting the
// main application) before the next one gives up and carries on.
constexpr int kRecoveryAttempts = 3;

struct Recovery {
    // Failed: a step could not be undone; journal and backups are kept.
    // SetAside: the journal failed its checks or could not be read, or the
    // recovery failed kRecoveryAttempts times; it went, with the backups and
    // the staging, to "<installation>.update.broken-<time>" untouched, and
    // the installation may be a mix of the old and new files.
    enum class Action { Nothing, LeftoversRemoved, RolledBack, Completed, Failed, SetAside };
    Action action = Action::Nothing;
    // From a journal that recorded completion: the version to record and
    // the package to delete.
    std::string version;
    std::string package;
};

// Undoes an unfinished journal from the backups, or finishes one that
// records completion, then removes the work folder (staging included).
// Safe to run again after being interrupted. A work folder that is not a
// real folder owned as the installation is, and a journal that fails its
// checks, are set aside first and never followed or acted on; an undo never
// removes what the commit did not put there.
Recovery recoverInstallation(const InstallWorkArea& area, const InstallLog& log,
                             const InstallStepHook& step, const VersionCheck& versionValid = {});

// Removes staging, backups and the package copy, then the journal; false
// when something stays.
bool removeWorkArea(const InstallWorkArea& area, const InstallStepHook& step);
// Removes the staging folder alone; false when something stays.
bool removeStaging(const InstallWorkArea& area);

// Platform file operations (install_moves_posix.cpp, install_moves_win.cpp).
namespace installfs {
// Renames within one volume, replacing an existing file at `to`.
bool moveReplacing(const fs::path& from, const fs::path& to, std::string& error);
// Appends the line to the file and commits it to the disk before returning.
bool appendDurably(const fs::path& file, const std::string& line, std::string& error);
// Whether path has the owner of reference (always true where the platform
// leaves ownership to its access lists).
bool sameOwner(const fs::path& path, const fs::path& reference);
}  // namespace installfs

}  // namespace OVPlatform
