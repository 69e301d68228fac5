// The product's uninstall entry in Wine's registry: the first entry named
// exactly "沛扎直播" gets the new DisplayVersion, with DisplayName's value type.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/OVUninstallRegistry.h"

namespace {

const std::wstring kUninstall =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

struct Entry {
    std::wstring subkey;
    std::wstring displayName;
    DWORD type;
};

void setString(HKEY key, const wchar_t* name, const std::wstring& text, DWORD type) {
    RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void createEntry(const Entry& entry) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kUninstall + L"\\" + entry.subkey).c_str(), 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    setString(key, L"DisplayName", entry.displayName, entry.type);
    setString(key, L"DisplayVersion", L"1.0.0", REG_SZ);
    RegCloseKey(key);
}

// The value's text and type; an empty text and type 0 when it is missing.
std::pair<std::wstring, DWORD> displayVersion(const std::wstring& subkey) {
    wchar_t text[64] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, (kUninstall + L"\\" + subkey).c_str(), L"DisplayVersion",
                     RRF_RT_ANY | RRF_NOEXPAND, &type, text, &size) != ERROR_SUCCESS)
        return {};
    EXPECT_EQ(size, (wcslen(text) + 1) * sizeof(wchar_t)) << "stored with its terminating zero";
    return {text, type};
}

}  // namespace

TEST(UninstallEntry, FirstExactMatchGetsTheVersionWithTheNamesValueType) {
    // Subkeys enumerate in name order: the two "沛扎直播" entries come in a, b order.
    const std::vector<Entry> entries = {
        {L"peza-test-a-longer", L"沛扎直播 Beta", REG_SZ},
        {L"peza-test-b", L"沛扎直播", REG_EXPAND_SZ},
        {L"peza-test-c", L"沛扎直播", REG_SZ},
    };
    for (const Entry& entry : entries) createEntry(entry);

    std::vector<std::string> log;
    OVPlatform::setUninstallDisplayVersion(u"沛扎直播", u"2.5.1", "",
                                           [&](const std::string& line) { log.push_back(line); });

    EXPECT_EQ(displayVersion(L"peza-test-a-longer"),
              std::make_pair(std::wstring(L"1.0.0"), DWORD(REG_SZ)));
    EXPECT_EQ(displayVersion(L"peza-test-b"),
              std::make_pair(std::wstring(L"2.5.1"), DWORD(REG_EXPAND_SZ)));
    EXPECT_EQ(displayVersion(L"peza-test-c"),
              std::make_pair(std::wstring(L"1.0.0"), DWORD(REG_SZ)));
    const std::vector<std::string> expected = {
        "Reg key str== 2.5.1",
        "Reg key== "
        "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\peza-test-b",
        "RegSetValueEx result===============0"};
    EXPECT_EQ(log, expected);

    for (const Entry& entry : entries)
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kUninstall + L"\\" + entry.subkey).c_str());
}
