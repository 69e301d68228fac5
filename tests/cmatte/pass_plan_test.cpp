// The version-2 frame plan, run through a launcher that only records: which
// kernels run in which order, on which grids, reading what the previous
// passes wrote. No device is involved.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "keyers/v2/ver2_kernels.h"
#include "keyers/v2/ver2_passes.h"

namespace {

using namespace cmatte;

struct Launch {
    int kernel;
    std::size_t gx, gy;
    std::vector<cl_mem> handles;  // null for values
};

class RecordingLauncher : public gpurt::Launcher {
public:
    cl_int run(const gpurt::Pass& pass) override {
        Launch l{pass.kernel, pass.gx, pass.gy, {}};
        for (const gpurt::ArgStep& step : pass.args)
            l.handles.push_back(step.arg.size() == sizeof(cl_mem)
                                    ? *static_cast<const cl_mem*>(step.arg.data())
                                    : nullptr);
        launches.push_back(l);
        return CL_SUCCESS;
    }
    std::vector<Launch> launches;
};

// Distinct made-up handles; nothing dereferences them.
cl_mem handle(std::uintptr_t n) { return reinterpret_cast<cl_mem>(0x1000 + 16 * n); }

TEST(Ver2PassPlan, A1080pFrameRunsTheHistogramAndTheGuidedFilterOnTheirGrids) {
    const Ver2Geometry g = ver2_geometry(1920, 1080);
    const Ver2Kernels& k = ver2_kernels();
    RecordingLauncher launcher;
    gpurt::run_passes(launcher, histogram_passes(histogram_tier(1920, 1080), handle(1), handle(2),
                                                 handle(3), handle(4), handle(5)));
    const KeyPlanes planes{handle(1), handle(6), handle(7), handle(8), handle(9)};
    GuidePlanes guide{{}, handle(40), handle(41)};
    for (int i = 0; i < Quarter::kCount; ++i) guide.quarter[i] = handle(20 + i);
    gpurt::run_passes(launcher, matte_passes(planes, guide, g, 1920, 1080, 100));

    struct Expected {
        int kernel;
        std::size_t gx, gy;
    };
    std::vector<Expected> expected{{k.downSample22, 240, 540}, {k.statHist, 1, 540},
                                   {k.accmHist, 256, 1},       {k.segment, 480, 1080},
                                   {k.downSample44, 120, 272}, {k.downSample44, 120, 272}};
    const Expected boxX{k.boxR8X, 120, 272}, boxY{k.boxR8Y, 120, 272}, quarter{k.mulSub, 120, 272};
    for (int i = 0; i < 2; ++i) expected.insert(expected.end(), {boxX, boxY});
    expected.push_back({k.mul2, 120, 272});
    for (int i = 0; i < 2; ++i) expected.insert(expected.end(), {boxX, boxY});
    expected.insert(expected.end(), {quarter, quarter, {k.div, 120, 272}, quarter});
    for (int i = 0; i < 2; ++i) expected.insert(expected.end(), {boxX, boxY});
    expected.insert(expected.end(), {{k.upSample44SpeedUp, 480, 272},
                                     {k.upSample44SpeedUp, 480, 272},
                                     {k.mulAdd, 480, 1080},
                                     {k.gaussBlur, 480, 1080}});
    ASSERT_EQ(launcher.launches.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Launch& l = launcher.launches[i];
        EXPECT_EQ(l.kernel, expected[i].kernel) << "pass " << i;
        EXPECT_EQ(l.gx, expected[i].gx) << "pass " << i;
        EXPECT_EQ(l.gy, expected[i].gy) << "pass " << i;
    }

    const std::vector<Launch>& p = launcher.launches;
    // The histogram counts the half key image that the reduction wrote.
    EXPECT_EQ(p[0].handles[1], handle(2));
    EXPECT_EQ(p[1].handles[0], handle(2));
    EXPECT_EQ(p[2].handles[0], p[1].handles[1]);
    // Each box mean reads its vertical pass from the horizontal pass's scratch.
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i].kernel == k.boxR8X) {
            EXPECT_EQ(p[i + 1].handles[0], p[i].handles[3]) << "pass " << i;
        }
    }
    // The variance is taken from the two means of the guide: meanKK - meanK * meanK.
    const Launch& variance = p[15];
    EXPECT_EQ(variance.handles[0], guide.quarter[Quarter::meanKK]);
    EXPECT_EQ(variance.handles[1], guide.quarter[Quarter::meanK]);
    EXPECT_EQ(variance.handles[2], guide.quarter[Quarter::meanK]);
    // The refined matte combines the enlarged coefficients with the full-size guide,
    // and the smoothing reads it.
    const Launch& combine = p[p.size() - 2];
    EXPECT_EQ(combine.handles, (std::vector<cl_mem>{handle(41), handle(1), handle(40), handle(9)}));
    EXPECT_EQ(p.back().handles.front(), handle(9));
    EXPECT_EQ(p.back().handles.back(), handle(8));
}

}  // namespace
