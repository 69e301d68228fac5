#pragma once

#include <functional>
#include <string>

// The product's uninstall entry: on Windows the subkeys of
// HKLM\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall; on
// other systems an INI file standing for that key, one group per entry.

namespace OVPlatform {

// Receives the log lines of the update, UTF-8.
using UninstallLog = std::function<void(const std::string& line)>;

// Sets "DisplayVersion" of the first entry whose "DisplayName" is exactly
// displayName, with the value type "DisplayName" has. Failures to open a key
// go to the debugger output; when no entry has that name, one line says so
// through log. iniFile names the file used outside Windows and is ignored on
// Windows.
void setUninstallDisplayVersion(const std::u16string& displayName, const std::u16string& version,
                                const std::string& iniFile, const UninstallLog& log);

}  // namespace OVPlatform
