#include <windows.h>

#include "OVInstallJournal.h"

namespace OVPlatform {
namespace installfs {

namespace {

std::string lastErrorText() {
    const DWORD code = GetLastError();
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length ? std::string(text, length) : std::string();
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return "error " + std::to_string(code) + (message.empty() ? "" : ": " + message);
}

}  // namespace

bool moveReplacing(const fs::path& from, const fs::path& to, std::string& error) {
    // Write-through: the move is on the disk before the next journal record.
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    error = lastErrorText();
    return false;
}

bool appendDurably(const fs::path& file, const std::string& line, std::string& error) {
    HANDLE handle = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = lastErrorText();
        return false;
    }
    DWORD written = 0;
    const bool ok =
        WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
        written == line.size() && FlushFileBuffers(handle);
    if (!ok) error = lastErrorText();
    CloseHandle(handle);
    return ok;
}

// The work folder inherits the access list of the installation's parent;
// ownership is not what decides access here.
bool sameOwner(const fs::path&, const fs::path&) { return true; }

}  // namespace installfs
}  // namespace OVPlatform
