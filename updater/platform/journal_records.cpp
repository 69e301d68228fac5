#include "journal_records.h"

#include <exception>
#include <fstream>
#include <iterator>

namespace OVPlatform {
namespace journal {

const char kBegin[] = "begin";
const char kVersion[] = "version";
const char kPackage[] = "package";
const char kMakeDirectory[] = "mkdir";
const char kNewFile[] = "new";
const char kReplaceFile[] = "replace";
const char kComplete[] = "complete";

namespace {

bool isPathKind(const std::string& kind) {
    return kind == kMakeDirectory || kind == kNewFile || kind == kReplaceFile;
}

bool isKnownKind(const std::string& kind) {
    return isPathKind(kind) || kind == kBegin || kind == kVersion || kind == kPackage ||
           kind == kComplete;
}

// Both separators count: a journal written on Windows may use either.
std::vector<std::string> elements(const std::string& text) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == '/' || c == '\\')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

}  // namespace

bool safeRelative(const std::string& text) {
    if (text.empty() || text.find('\0') != std::string::npos) return false;
    const fs::path path = relativePath(text);
    if (path.has_root_name() || path.has_root_directory() || path.is_absolute()) return false;
    for (const std::string& element : elements(text)) {
        if (element.empty() || element == "." || element == "..") return false;
        // A drive ("C:") or an alternate data stream ("f:s") on Windows.
        if (element.find(':') != std::string::npos) return false;
    }
    return true;
}

bool read(const fs::path& file, std::vector<Record>& records, std::string& why) {
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(file, ec))) {
        why = "the journal is not a plain file";
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    std::string text;
    try {
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::exception&) {
        in.setstate(std::ios::badbit);
    }
    if (!in.is_open() || in.bad()) {
        why = "the journal cannot be read";
        return false;
    }
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos;
         start = end + 1, end = text.find('\n', start)) {
        const std::string line = text.substr(start, end - start);
        const size_t tab = line.find('\t');
        records.push_back(tab == std::string::npos
                              ? Record{line, {}}
                              : Record{line.substr(0, tab), line.substr(tab + 1)});
    }
    return true;
}

std::string problem(const std::vector<Record>& records, const VersionCheck& versionValid) {
    if (records.empty()) return {};
    if (records.front().kind != kBegin) return "its first record is not \"begin\"";
    for (size_t i = 0; i < records.size(); ++i) {
        const Record& record = records[i];
        const std::string where = "record " + std::to_string(i + 1) + " (" + record.kind + ")";
        if (!isKnownKind(record.kind)) return where + " is of no known kind";
        if ((record.kind == kBegin && i != 0) ||
            (record.kind == kComplete && i + 1 != records.size()))
            return where + " is out of place";
        if (isPathKind(record.kind) && !safeRelative(record.value))
            return where + " does not name a path inside the installation";
        if (record.kind == kVersion && versionValid && !versionValid(record.value))
            return where + " is not a version";
    }
    return {};
}

fs::path relativePath(const std::string& text) { return fs::u8path(text); }

bool reachableWithoutLinks(const fs::path& base, const fs::path& relative) {
    std::error_code ignored;
    if (fs::is_symlink(fs::symlink_status(base, ignored))) return false;
    fs::path folder = base;
    for (auto it = relative.begin(); it != relative.end(); ++it) {
        if (std::next(it) == relative.end()) break;
        folder /= *it;
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(folder, ec);
        if (status.type() == fs::file_type::not_found) return true;
        if (status.type() != fs::file_type::directory) return false;
    }
    return true;
}

bool plainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\:") == std::string::npos && name.find('\0') == std::string::npos;
}

}  // namespace journal
}  // namespace OVPlatform
