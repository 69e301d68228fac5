#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gpu_runtime/embedded_program.h"
#include "gpu_runtime/local_size.h"
#include "gpu_runtime/platform_choice.h"

namespace {

using gpurt::choose_platform;
using gpurt::LocalSizeCache;

const std::vector<std::string> kLutgradeIntel{"Intel(R) OpenCL HD Graphics"};
const std::vector<std::string> kKeyerIntel{"Intel(R) OpenCL HD Graphics",
                                           "Intel(R) OpenCL Graphics"};

TEST(PlatformChoice, PreferenceSelectsItsClassOrLeavesTheLastPlatform) {
    const std::vector<std::string> machine{"Intel(R) OpenCL HD Graphics", "NVIDIA CUDA"};
    auto nvidia = choose_platform(machine, 1, kLutgradeIntel);
    EXPECT_EQ(nvidia.index, 1);
    EXPECT_STREQ(nvidia.priorityLine, "GPU: PRIORITY select NVIDIA CUDA\n");
    auto intel = choose_platform(machine, 0, kLutgradeIntel);
    EXPECT_EQ(intel.index, 0);
    EXPECT_STREQ(intel.priorityLine, "GPU: PRIORITY select Intel-HD-Grsphics\n");
    auto other = choose_platform(machine, 2, kLutgradeIntel);
    EXPECT_EQ(other.index, 1);
    EXPECT_EQ(other.priorityLine, nullptr);
}

TEST(PlatformChoice, IntelNamesAreTheVariantsAndMatchWholeAndCaseSensitive) {
    const std::vector<std::string> machine{"Intel(R) OpenCL Graphics",
                                           "Portable Computing Language"};
    // Only the keyers count the newer Intel name as Intel.
    EXPECT_EQ(choose_platform(machine, 0, kKeyerIntel).index, 0);
    EXPECT_EQ(choose_platform(machine, 0, kLutgradeIntel).priorityLine, nullptr);
    EXPECT_EQ(choose_platform(machine, 2, kLutgradeIntel).index, 1);
    const std::vector<std::string> lookalikes{"intel(r) opencl hd graphics", "NVIDIA CUDA "};
    EXPECT_EQ(choose_platform(lookalikes, 0, kLutgradeIntel).priorityLine, nullptr);
    EXPECT_EQ(choose_platform(lookalikes, 1, kLutgradeIntel).priorityLine, nullptr);
}

TEST(PlatformChoice, TheLaterPlatformOfAClassWins) {
    const std::vector<std::string> machine{"Vendor A", "NVIDIA CUDA", "Vendor B", "NVIDIA CUDA",
                                           "Intel(R) OpenCL HD Graphics"};
    EXPECT_EQ(choose_platform(machine, 2, kLutgradeIntel).index, 2);
    EXPECT_EQ(choose_platform(machine, 1, kLutgradeIntel).index, 3);
    EXPECT_EQ(choose_platform({}, 1, kLutgradeIntel).index, -1);
}

struct LocalCase {
    std::size_t gx, gy, lx, ly;
    int cap;
};

TEST(ChooseLocalSize, WorkedExamples) {
    const LocalCase cases[] = {
        {480, 1080, 32, 8, 32},   // 1080p NV12 grid, no cut
        {320, 720, 16, 16, 32},   // 720p YUY2 grid: width capped then cut
        {1024, 1024, 8, 32, 32},  // both capped, gx not greater than gy: width cut
        {1, 1, 1, 1, 32},        {9, 64, 1, 32, 32},  // odd width
        {2048, 64, 32, 8, 32},                        // gx greater than gy: height cut
        {1024, 1024, 4, 64, 64},                      // the keyers' cap
        {0, 0, 8, 32, 32},                            // never reached by frames, but must not loop
    };
    for (const LocalCase& c : cases) {
        LocalSizeCache cache(c.cap);
        std::size_t local[2] = {0, 0};
        cache.chooseLocalSize(c.gx, c.gy, local);
        EXPECT_EQ(local[0], c.lx) << c.gx << "x" << c.gy;
        EXPECT_EQ(local[1], c.ly) << c.gx << "x" << c.gy;
        EXPECT_LE(local[0] * local[1], 256u);
    }
}

TEST(ChooseLocalSize, AnswersFromTheCacheUntilCleared) {
    LocalSizeCache cache(32);
    std::size_t first[2], again[2];
    cache.chooseLocalSize(480, 1080, first);
    cache.chooseLocalSize(480, 1080, again);
    EXPECT_EQ(cache.size(), 1u);
    EXPECT_EQ(first[0], again[0]);
    EXPECT_EQ(first[1], again[1]);
    cache.chooseLocalSize(320, 720, again);
    EXPECT_EQ(cache.size(), 2u);
    cache.clear();
    EXPECT_EQ(cache.size(), 0u);
}

TEST(EmbeddedProgram, KeyPeriodIncludesTheTerminatingZero) {
    const std::string text =
        "__kernel void k(void) {}\n// some more text to cover several key periods";
    const char* key = "abc1";  // period 5: every fifth byte passes unchanged
    const std::string scrambled = gpurt::descramble_program(
        reinterpret_cast<const unsigned char*>(text.data()), text.size(), key);
    for (std::size_t p = 4; p < text.size(); p += 5) EXPECT_EQ(scrambled[p], text[p]);
    EXPECT_EQ(static_cast<unsigned char>(scrambled[0]), static_cast<unsigned char>(text[0] ^ 'a'));
    EXPECT_EQ(gpurt::descramble_program(reinterpret_cast<const unsigned char*>(scrambled.data()),
                                        scrambled.size(), key),
              text);
}

}  // namespace
