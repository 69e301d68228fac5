#include <windows.h>

#include <string>

#include "OVDebugOutput.h"
#include "OVUninstallRegistry.h"

namespace OVPlatform {

namespace {

const wchar_t kUninstallKey[] =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::string toUtf8(const std::wstring& text) {
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return std::string();
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], length, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(length - 1));
    return utf8;
}

std::wstring toWide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// Returns true when the entry matched (and the update was attempted).
bool updateIfProduct(const std::wstring& subkeyPath, const std::wstring& displayName,
                     const std::wstring& version, const UninstallLog& log) {
    HKEY entry = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkeyPath.c_str(), 0,
                      KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY, &entry) != ERROR_SUCCESS) {
        OVLogging::platform::writeDebugOutput("open failed===============");
        return false;
    }
    BYTE buffer[4096] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(entry, L"DisplayName", nullptr, &type, buffer, &size) != ERROR_SUCCESS ||
        std::wstring(reinterpret_cast<const wchar_t*>(buffer)) != displayName) {
        RegCloseKey(entry);
        return false;
    }
    log("Reg key str== " + toUtf8(version));
    const DWORD bytes = static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t));
    const LONG result = RegSetValueExW(entry, L"DisplayVersion", 0, type,
                                       reinterpret_cast<const BYTE*>(version.c_str()), bytes);
    log("Reg key== " + toUtf8(subkeyPath));
    log("RegSetValueEx result===============" + std::to_string(result));
    RegCloseKey(entry);
    return true;
}

}  // namespace

void setUninstallDisplayVersion(const std::u16string& displayName, const std::u16string& version,
                                const std::string& /*iniFile*/, const UninstallLog& log) {
    HKEY uninstall = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0,
                      KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY,
                      &uninstall) != ERROR_SUCCESS) {
        OVLogging::platform::writeDebugOutput("open failed===============");
        return;
    }
    DWORD subkeys = 0;
    RegQueryInfoKeyW(uninstall, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr, nullptr);
    const std::wstring name = toWide(displayName);
    const std::wstring wideVersion = toWide(version);
    for (DWORD index = 0; index < subkeys; ++index) {
        wchar_t subkey[MAX_PATH] = {};
        DWORD length = MAX_PATH;
        if (RegEnumKeyExW(uninstall, index, subkey, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            continue;
        if (updateIfProduct(std::wstring(kUninstallKey) + L"\\" + subkey, name, wideVersion, log)) {
            RegCloseKey(uninstall);
            return;
        }
    }
    RegCloseKey(uninstall);
    log("no uninstall entry named " + toUtf8(name) + " in HKLM\\" + toUtf8(kUninstallKey) +
        ": version not recorded");
}

}  // namespace OVPlatform
