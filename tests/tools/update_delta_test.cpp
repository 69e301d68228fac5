// update-delta make over a small release, its package extracted with 7z and
// rebuilt with the updater's code; and the rebuild's refusals of an
// installation or a package that is not what the manifest says.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestServers.h"
#include "delta/DeltaManifest.h"
#include "delta/DeltaRebuild.h"

namespace fs = std::filesystem;
using testsupport::readFile;

namespace {

void put(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    testsupport::writeFile(file.string(), bytes);
}

std::string noise(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1103515245u + 12345u;
        c = char(seed >> 16);
    }
    return bytes;
}

int runQuietly(const std::vector<std::string>& argv) {
    testsupport::ChildProcess child(argv);
    while (!child.outputEnded()) child.readLine(20000);
    return child.wait();
}

std::map<std::string, std::string> treeOf(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[entry.path().lexically_relative(root).generic_string()] =
                readFile(entry.path().string());
        }
    }
    return files;
}

class UpdateDelta : public testing::Test {
public:
    void SetUp() override {
        const std::string big = noise(300000, 1);
        std::string edited = big;
        edited.replace(120000, 4096, noise(4096, 2));
        put(oldTree() / "bin/core.dll", big);
        put(newTree() / "bin/core.dll", edited);  // patched
        put(oldTree() / "bin/small.dat", "v1");
        put(newTree() / "bin/small.dat", "v2");  // whole: a patch is not smaller
        put(oldTree() / "res/same.bin", noise(5000, 3));
        put(newTree() / "res/same.bin", noise(5000, 3));
        put(oldTree() / "empty", "");
        put(newTree() / "empty", "");
        put(newTree() / "res/empty-new", "");
        put(newTree() / u8"res/中文 名称.txt", u8"中文\n");
        put(oldTree() / "only-old.txt", "left alone");
        fs::copy(oldTree(), installation(), fs::copy_options::recursive);
    }

    fs::path root() const { return mDir.file(""); }
    fs::path oldTree() const { return root() / "1.3.0"; }
    fs::path newTree() const { return root() / "1.4.0"; }
    fs::path installation() const { return root() / "installed"; }
    fs::path extracted() const { return root() / "extracted"; }
    fs::path staging() const { return root() / "staging"; }

    int makeAndExtract() {
        const std::string package = (root() / "delta.7z").string();
        const int made = runQuietly({UPDATE_DELTA, "make", "--from", oldTree().string(), "--to",
                                     newTree().string(), "-o", package});
        if (made != 0) return made;
        return runQuietly({"7z", "x", "-bd", "-o" + extracted().string(), package});
    }

    bool rebuild(delta::RebuildCount& count, std::string& error) {
        delta::Manifest manifest;
        if (!delta::readManifest(readFile((extracted() / delta::kManifestName).string()), manifest,
                                 error)) {
            return false;
        }
        EXPECT_EQ(manifest.fromVersion, "1.3.0");
        EXPECT_EQ(manifest.toVersion, "1.4.0");
        return delta::rebuild({installation(), extracted(), staging(), {}}, manifest, {}, count,
                              error);
    }

    testsupport::TempDir mDir;
};

}  // namespace

TEST_F(UpdateDelta, RoundTripRebuildsTheNewTreeFromTheInstalledOne) {
    ASSERT_EQ(makeAndExtract(), 0);
    delta::RebuildCount count;
    std::string error;
    ASSERT_TRUE(rebuild(count, error)) << error;
    EXPECT_EQ(count.kept, 2u);
    EXPECT_EQ(count.patched, 1u);
    EXPECT_EQ(count.whole, 3u);
    EXPECT_LT(fs::file_size(root() / "delta.7z"), 20000u);

    // Staged files over the installation give the new tree, plus the file
    // only the old tree had.
    fs::copy(staging(), installation(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    std::map<std::string, std::string> expected = treeOf(newTree());
    expected["only-old.txt"] = "left alone";
    EXPECT_EQ(treeOf(installation()), expected);
}

TEST_F(UpdateDelta, RebuildRefusesWhatTheManifestDoesNotExpect) {
    struct Case {
        const char* name;
        std::function<void(UpdateDelta&)> damage;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"a locally modified kept file",
         [](UpdateDelta& t) { put(t.installation() / "res/same.bin", "edited"); }, "res/same.bin"},
        {"a locally modified patched file",
         [](UpdateDelta& t) { put(t.installation() / "bin/core.dll", noise(300000, 9)); },
         "bin/core.dll"},
        {"a missing old file",
         [](UpdateDelta& t) { fs::remove(t.installation() / "bin/core.dll"); }, "bin/core.dll"},
        {"a link in place of an old file",
         [](UpdateDelta& t) {
             fs::remove(t.installation() / "res/same.bin");
             fs::create_symlink(t.oldTree() / "res/same.bin", t.installation() / "res/same.bin");
         },
         "res/same.bin"},
        {"a damaged patch",
         [](UpdateDelta& t) {
             std::string patch = readFile((t.extracted() / "patch/bin/core.dll").string());
             patch[patch.size() / 2] ^= 0x40;
             put(t.extracted() / "patch/bin/core.dll", patch);
         },
         "bin/core.dll"},
        {"a whole file that is not the listed one",
         [](UpdateDelta& t) { put(t.extracted() / "file/bin/small.dat", "v3"); }, "bin/small.dat"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(extracted());
        fs::remove_all(staging());
        fs::remove_all(installation());
        fs::copy(oldTree(), installation(), fs::copy_options::recursive);
        ASSERT_EQ(makeAndExtract(), 0);
        c.damage(*this);
        delta::RebuildCount count;
        std::string error;
        EXPECT_FALSE(rebuild(count, error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}
