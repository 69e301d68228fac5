#include "delta/DeltaManifest.h"

#include <set>
#include <sstream>

#include "platform/journal_records.h"

namespace delta {

const char kManifestName[] = "delta.manifest";
const char kWholeFolder[] = "file";
const char kPatchFolder[] = "patch";

namespace {

const char kHeader[] = "update-delta 1";
constexpr uint64_t kLargestSize = uint64_t(1) << 50;

const char* kindName(FileKind kind) {
    switch (kind) {
        case FileKind::Same:
            return "same";
        case FileKind::Whole:
            return "whole";
        case FileKind::Patch:
            return "patch";
    }
    return "";
}

// Splits off the text up to the next blank; false when there is none.
bool takeWord(std::string& rest, std::string& word) {
    const size_t blank = rest.find(' ');
    if (blank == std::string::npos || blank == 0) return false;
    word = rest.substr(0, blank);
    rest.erase(0, blank + 1);
    return true;
}

bool parseSize(const std::string& text, uint64_t& size) {
    if (text.empty() || text.size() > 16 || (text.size() > 1 && text[0] == '0')) return false;
    size = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        size = size * 10 + uint64_t(c - '0');
    }
    return size <= kLargestSize;
}

bool isSha256(const std::string& text) {
    if (text.size() != 64) return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

bool isWord(const std::string& text) {
    if (text.empty() || text.size() > 64) return false;
    for (unsigned char c : text) {
        if (c <= ' ' || c == 0x7f) return false;
    }
    return true;
}

bool validPath(const std::string& path) {
    if (path.find('\\') != std::string::npos) return false;
    for (unsigned char c : path) {
        if (c < ' ' || c == 0x7f) return false;
    }
    return OVPlatform::journal::safeRelative(path);
}

bool readFileRecord(const std::string& kind, std::string rest, FileRecord& record) {
    std::string size;
    std::string sha;
    if (kind == "same" || kind == "whole") {
        record.kind = kind == "same" ? FileKind::Same : FileKind::Whole;
    } else if (kind == "patch") {
        record.kind = FileKind::Patch;
    } else {
        return false;
    }
    if (!takeWord(rest, size) || !takeWord(rest, sha) || !parseSize(size, record.size) ||
        !isSha256(sha)) {
        return false;
    }
    record.sha256 = sha;
    if (record.kind == FileKind::Patch) {
        if (!takeWord(rest, size) || !takeWord(rest, sha) || !parseSize(size, record.oldSize) ||
            !isSha256(sha) || record.size > kLargestPatchedFile ||
            record.oldSize > kLargestPatchedFile) {
            return false;
        }
        record.oldSha256 = sha;
    }
    record.path = rest;
    return validPath(record.path);
}

}  // namespace

std::string writeManifest(const Manifest& manifest) {
    std::ostringstream out;
    out << kHeader << "\nfrom " << manifest.fromVersion << "\nto " << manifest.toVersion << "\n";
    for (const FileRecord& file : manifest.files) {
        out << kindName(file.kind) << ' ' << file.size << ' ' << file.sha256 << ' ';
        if (file.kind == FileKind::Patch) out << file.oldSize << ' ' << file.oldSha256 << ' ';
        out << file.path << "\n";
    }
    return out.str();
}

bool readManifest(const std::string& text, Manifest& manifest, std::string& error) {
    manifest = Manifest();
    std::set<std::string> paths;
    size_t start = 0;
    size_t lineNumber = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        ++lineNumber;
        const std::string where = "manifest line " + std::to_string(lineNumber) + ": ";
        if (end == std::string::npos) {
            error = where + "does not end in a line feed";
            return false;
        }
        std::string rest = text.substr(start, end - start);
        start = end + 1;
        if (lineNumber == 1) {
            if (rest != kHeader) {
                error = where + "not a delta manifest (expected \"" + kHeader + "\")";
                return false;
            }
            continue;
        }
        std::string kind;
        if (!takeWord(rest, kind)) {
            error = where + "no record";
            return false;
        }
        if (lineNumber == 2 || lineNumber == 3) {
            const char* expected = lineNumber == 2 ? "from" : "to";
            if (kind != expected || !isWord(rest)) {
                error = where + "expected \"" + expected + " <version>\"";
                return false;
            }
            (lineNumber == 2 ? manifest.fromVersion : manifest.toVersion) = rest;
            continue;
        }
        FileRecord record;
        if (!readFileRecord(kind, rest, record)) {
            error = where + "not a well-formed file record";
            return false;
        }
        if (!paths.insert(record.path).second) {
            error = where + "names " + record.path + " twice";
            return false;
        }
        manifest.files.push_back(record);
    }
    if (lineNumber < 3) {
        error = "manifest: the header, from and to lines are missing";
        return false;
    }
    return true;
}

}  // namespace delta
