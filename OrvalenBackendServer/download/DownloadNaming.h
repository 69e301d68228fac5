#pragma once

// Where a download is stored: the file name taken from the url, the local
// path, and the directory created level by level.

#include <string>
#include <vector>

namespace Orvalen {

// The last path segment of the url, cut at the first character outside
// [.-_0-9a-zA-Z] (so a query string is dropped).
std::string fileNameFromUrl(const std::string& url);

// False for names that would not name a file of their own: empty, or only
// dots ("." and ".." are the directory and its parent).
bool isUsableFileName(const std::string& fileName);

// True when the name is one of the reserved names, ignoring letter case and
// trailing dots (Windows drops those: "update.ini." is update.ini).
bool isReservedFileName(const std::string& fileName, const std::vector<std::string>& reserved);

// The directory and the name, with one separator between them. Both "\" and
// "/" in the directory count as separators.
std::string localFilePath(const std::string& directory, const std::string& fileName);

// Creates every missing level of the directory; failures are logged and the
// next level is tried.
void createDirectoryLevels(const std::string& directory);

}  // namespace Orvalen
