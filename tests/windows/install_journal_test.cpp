// The installation's commit on Windows file moves. A file held open without
// FILE_SHARE_DELETE, as a program or DLL in use may be, cannot be moved aside:
// the commit rolls back and leaves the installation as it was. Closed, the
// same package commits.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "platform/OVInstallJournal.h"

namespace fs = std::filesystem;
using OVPlatform::InstallWorkArea;

namespace {

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void stagePackage(const InstallWorkArea& area) {
    writeFile(area.staging() / L"a-new.txt", "new file");
    writeFile(area.staging() / L"app.dll", "app 2");
    writeFile(area.staging() / L"插件" / L"z-new.dll", "new plug-in");
}

}  // namespace

TEST(InstallCommit, AFileInUseRollsTheCommitBackAndOnceClosedItCommits) {
    const InstallWorkArea area(fs::temp_directory_path() /
                               (L"journal-" + std::to_wstring(GetTickCount64())) / L"沛扎直播");
    writeFile(area.installDir / L"app.dll", "app 1");
    writeFile(area.installDir / L"kept.txt", "kept");
    stagePackage(area);
    std::vector<std::string> log;
    const auto collect = [&](const std::string& line) { log.push_back(line); };

    HANDLE inUse =
        CreateFileW((area.installDir / L"app.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(inUse, INVALID_HANDLE_VALUE);
    const OVPlatform::CommitResult refused =
        OVPlatform::commitStaged(area, "2.0", "p.7z", collect, {});
    CloseHandle(inUse);
    EXPECT_FALSE(refused.committed);
    EXPECT_TRUE(refused.restored);
    EXPECT_NE(refused.failure.find("app.dll"), std::string::npos) << refused.failure;
    EXPECT_EQ(readFile(area.installDir / L"app.dll"), "app 1");
    EXPECT_FALSE(
        fs::exists(area.installDir / L"a-new.txt"));  // moved in before app.dll, taken out again
    EXPECT_FALSE(fs::exists(area.installDir / L"插件"));
    EXPECT_FALSE(fs::exists(area.workDir));

    stagePackage(area);
    const OVPlatform::CommitResult done =
        OVPlatform::commitStaged(area, "2.0", "p.7z", collect, {});
    EXPECT_TRUE(done.committed) << done.failure;
    EXPECT_EQ(readFile(area.installDir / L"app.dll"), "app 2");
    EXPECT_EQ(readFile(area.installDir / L"插件" / L"z-new.dll"), "new plug-in");
    EXPECT_EQ(readFile(area.installDir / L"kept.txt"), "kept");
    EXPECT_TRUE(OVPlatform::removeWorkArea(area, {}));
}
