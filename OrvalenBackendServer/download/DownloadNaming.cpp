#include "download/DownloadNaming.h"

#include "platform/OrvalenFile.h"
#include "protocol/OrvalenModuleLogs.h"

namespace Orvalen {

namespace {

std::string withNativeSeparators(std::string path) {
    for (char& c : path) {
        if (c == '\\' || c == '/') c = platform::kPathSeparator;
    }
    return path;
}

}  // namespace

std::string fileNameFromUrl(const std::string& url) {
    static const char kNameCharacters[] =
        ".-_0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const size_t slash = url.rfind('/');
    std::string name = slash == std::string::npos ? url : url.substr(slash + 1);
    const size_t cut = name.find_first_not_of(kNameCharacters);
    if (cut != std::string::npos) name.erase(cut);
    downloadLog().printLog(LEVEL_DEBUG, "outFileNameWithExten:    %s", name.c_str());
    return name;
}

bool isUsableFileName(const std::string& fileName) {
    return fileName.find_first_not_of('.') != std::string::npos;
}

bool isReservedFileName(const std::string& fileName, const std::vector<std::string>& reserved) {
    const auto folded = [](std::string name) {
        name.erase(name.find_last_not_of('.') + 1);
        for (char& c : name) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        return name;
    };
    const std::string name = folded(fileName);
    for (const std::string& candidate : reserved) {
        if (folded(candidate) == name) return true;
    }
    return false;
}

std::string localFilePath(const std::string& directory, const std::string& fileName) {
    std::string path = withNativeSeparators(directory);
    if (path.empty() || path.back() != platform::kPathSeparator) path += platform::kPathSeparator;
    return path + fileName;
}

void createDirectoryLevels(const std::string& directory) {
    std::string path = withNativeSeparators(directory);
    if (platform::pathExists(path)) return;
    if (path.empty() || path.back() != platform::kPathSeparator) path += platform::kPathSeparator;
    for (size_t at = path.find(platform::kPathSeparator, 1); at != std::string::npos;
         at = path.find(platform::kPathSeparator, at + 1)) {
        const std::string level = path.substr(0, at);
        const platform::MakeDirectoryResult result = platform::makeDirectory(level);
        if (result == platform::MakeDirectoryResult::Created) continue;
        downloadLog().printLog(LEVEL_ERROR, "CreateDirectory [%s] error", level.c_str());
        if (result == platform::MakeDirectoryResult::AlreadyExists) {
            downloadLog().printLog(LEVEL_DEBUG, "CreateDirectory %s exists", level.c_str());
        } else if (result == platform::MakeDirectoryResult::PathNotFound) {
            downloadLog().printLog(LEVEL_DEBUG, "CreateDirectory %s path not found", level.c_str());
        }
    }
}

}  // namespace Orvalen
