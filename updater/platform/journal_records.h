#pragma once

// The journal's records and the checks a journal must pass before recovery
// acts on it: the work folder and the journal can be written by programs the
// installation's owner does not trust, so nothing read from them may reach
// outside the installation or the work folder.

#include <string>
#include <vector>

#include "OVInstallJournal.h"

namespace OVPlatform {
namespace journal {

// One record a line: a kind, a tab, a value.
extern const char kBegin[];
extern const char kVersion[];
extern const char kPackage[];
extern const char kMakeDirectory[];
extern const char kNewFile[];
extern const char kReplaceFile[];
extern const char kComplete[];

struct Record {
    std::string kind;
    std::string value;
};

// Only lines that end in "\n" count: a record torn by a crash was never
// acted on. False when the journal is not a plain file or cannot be read.
bool read(const fs::path& file, std::vector<Record>& records, std::string& why);

// Empty when recovery may act on the records; else why not. Every path
// must be relative, without a root, drive, empty, "." or ".." element; the
// version must pass versionValid; "begin" comes first and "complete" last.
std::string problem(const std::vector<Record>& records, const VersionCheck& versionValid);

// True for a relative path without a root, drive, empty, "." or ".."
// element ("/" and "\\" both separate): it cannot leave the folder it names
// a file of.
bool safeRelative(const std::string& text);

// A relative path from the journal, checked by problem().
fs::path relativePath(const std::string& text);

// True when every folder between base and base/relative is a real folder
// (never a symbolic link), so that acting on base/relative stays below base.
bool reachableWithoutLinks(const fs::path& base, const fs::path& relative);

// A plain file name: no separator, not "." or "..", not empty.
bool plainFileName(const std::string& name);

}  // namespace journal
}  // namespace OVPlatform
