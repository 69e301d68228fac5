// 8-bit paths under a Chinese ANSI code page (936), as a Qt host on a Chinese
// Windows hands them over: table files of lutgrade and the download folder of
// the backend client. Run with LC_ALL=zh_CN.UTF-8 so that Wine uses that code page.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "download/DownloadNaming.h"
#include "lutgrade/Lut3D.h"
#include "platform/OrvalenFile.h"

namespace {

// The text in the code page; empty when a character has no spelling there.
std::string encode(const std::wstring& text, UINT codePage) {
    BOOL lossy = FALSE;
    BOOL* lossyOut = codePage == CP_UTF8 ? nullptr : &lossy;
    const int size =
        WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, lossyOut);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), -1, &bytes[0], size, nullptr, lossyOut);
    bytes.resize(bytes.size() - 1);
    return lossy ? std::string() : bytes;
}

// A new folder in the user's temporary folder (inside the Wine prefix).
std::wstring freshFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = temp + name + std::to_wstring(GetTickCount64());
    EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    return folder;
}

void writeFile(const std::wstring& path, const std::string& text) {
    std::FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

bool isDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

TEST(CodePage, IsTheChineseAnsiCodePage) {
    ASSERT_EQ(GetACP(), 936u) << "run with LC_ALL=zh_CN.UTF-8";
}

TEST(TablePath, LoadsByAnsiOrUtf8PathAndUtf8ReachesNamesBeyondTheCodePage) {
    const std::wstring folder = freshFolder(L"lut-") + L"\\调色表";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::string table =
        "LUT_3D_SIZE 2\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n";
    const std::wstring chinese = folder + L"\\黑色.cube";
    const std::wstring hangul = folder + L"\\색상.cube";  // no spelling in code page 936
    writeFile(chinese, table);
    writeFile(hangul, table);
    ASSERT_TRUE(encode(hangul, CP_ACP).empty());

    const struct {
        const char* what;
        std::string path;
        bool loads;
    } cases[] = {
        {"ANSI, as QFile::encodeName gives it", encode(chinese, CP_ACP), true},
        {"UTF-8, as toUtf8 gives it", encode(chinese, CP_UTF8), true},
        {"UTF-8 of a name the code page cannot spell", encode(hangul, CP_UTF8), true},
        {"a missing file", encode(folder + L"\\没有.cube", CP_UTF8), false},
    };
    Lut3D lut(0);
    for (const auto& c : cases) {
        EXPECT_EQ(lut.load_filter_of_cube_3dl_file(c.path.c_str(), 2) == 0, c.loads) << c.what;
    }
    // Adjustment lists open the same way.
    const std::wstring list = folder + L"\\색상.hsv";
    writeFile(list, "0 1 1 120 1 1 0 0\n");
    EXPECT_EQ(lut.load_filter_from_HSV_file(encode(list, CP_UTF8).c_str()), 0);
}

TEST(DownloadFolder, AnsiUserFolderLevelsSizeTruncationAndCommit) {
    const std::wstring root = freshFolder(L"dl-");
    const std::wstring store = root + L"\\张三\\AppData\\Roaming\\peza-studio";
    const std::string ansiStore = encode(store, CP_ACP);  // QFile::encodeName on Windows
    ASSERT_FALSE(ansiStore.empty());

    Orvalen::createDirectoryLevels(ansiStore);
    EXPECT_TRUE(isDirectory(store));
    EXPECT_TRUE(Orvalen::platform::pathExists(ansiStore));
    Orvalen::createDirectoryLevels(ansiStore + "\\");  // all levels exist already

    const std::string package = Orvalen::localFilePath(ansiStore, "peza_1.2.7z");
    EXPECT_EQ(package, ansiStore + "\\peza_1.2.7z");
    EXPECT_EQ(Orvalen::localFilePath(encode(root + L"/张三/", CP_ACP), "p.7z"),
              encode(root + L"\\张三\\p.7z", CP_ACP));
    EXPECT_EQ(Orvalen::platform::fileSize(package), -1);

    std::FILE* file = std::fopen(package.c_str(), "ab+");
    ASSERT_NE(file, nullptr);
    std::fwrite(std::string(40, 'x').data(), 1, 40, file);
    EXPECT_TRUE(Orvalen::platform::commitToDisk(file));
    EXPECT_EQ(Orvalen::platform::fileSize(package), 40);
    EXPECT_TRUE(Orvalen::platform::truncateToEmpty(file));
    std::fwrite("abc", 1, 3, file);
    EXPECT_TRUE(Orvalen::platform::startCommitToDisk(file));
    std::fclose(file);
    EXPECT_EQ(Orvalen::platform::fileSize(package), 3);
    std::FILE* check = _wfopen((store + L"\\peza_1.2.7z").c_str(), L"rb");
    ASSERT_NE(check, nullptr);
    char content[4] = {};
    EXPECT_EQ(std::fread(content, 1, 4, check), 3u);
    EXPECT_STREQ(content, "abc");
    std::fclose(check);
}
