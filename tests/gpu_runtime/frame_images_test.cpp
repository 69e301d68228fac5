#include "gpu_runtime/frame_images.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "gpu_runtime/device_context.h"
#include "gpu_runtime/kernel_launch.h"

extern const gpurt::EmbeddedProgram probe_program;

namespace {

using namespace gpurt;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;
using Bytes = std::vector<std::uint8_t>;

const FrameMessages kMessages{"cY:%d\n",     "cUV:%d\n",    "cU:%d\n",   "cV:%d\n",
                              "cYUY2:%d\n",  "wY:%d\n",     "wUV:%d\n",  "wI420Y:%d\n",
                              "wI420U:%d\n", "wI420V:%d\n", "wYUY2:%d\n"};

class FrameImages : public testing::Test {
protected:
    static void SetUpTestSuite() {
        mVariant = new ContextVariant{{},
                                      QueueApi::kWithProperties,
                                      1,
                                      "Error @clBuildProgram:%d\n",
                                      {{"probe_copy", "k1:%d\n"}, {"probe_fill", "k2:%d\n"}},
                                      32,
                                      probe_program};
        mDc = new DeviceContext(*mVariant, 0);
        CaptureStdout();
        mDc->initOpenCL();
        GetCapturedStdout();
    }
    static void TearDownTestSuite() {
        delete mDc;
        delete mVariant;
    }

    static std::size_t image_info(cl_mem image, cl_image_info what) {
        std::size_t v = 0;
        clGetImageInfo(image, what, sizeof v, &v, nullptr);
        return v;
    }
    static cl_channel_order order_of(cl_mem image) {
        cl_image_format f{};
        clGetImageInfo(image, CL_IMAGE_FORMAT, sizeof f, &f, nullptr);
        EXPECT_EQ(f.image_channel_data_type, static_cast<cl_channel_type>(CL_UNORM_INT8));
        return f.image_channel_order;
    }
    static void expect_size(cl_mem image, std::size_t w, std::size_t h) {
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image_info(image, CL_IMAGE_WIDTH), w);
        EXPECT_EQ(image_info(image, CL_IMAGE_HEIGHT), h);
    }
    static Bytes ramp(std::size_t n, int seed) {
        Bytes b(n);
        for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + seed);
        return b;
    }
    static cl_command_queue queue() { return mDc->queues[0]; }

    static ContextVariant* mVariant;
    static DeviceContext* mDc;
};

ContextVariant* FrameImages::mVariant = nullptr;
DeviceContext* FrameImages::mDc = nullptr;

using Images = gpurt::FrameImages;

TEST_F(FrameImages, LayoutsMapPlanesOntoFourByteTexels) {
    Images nv12;
    ASSERT_EQ(nv12.create(*mDc, FrameLayout::kNv12, 1920, 1080, kMessages), 0);
    expect_size(nv12.plane(0), 480, 1080);
    expect_size(nv12.plane(1), 480, 540);
    EXPECT_EQ(order_of(nv12.plane(0)), static_cast<cl_channel_order>(CL_RGBA));

    Images i420;
    ASSERT_EQ(i420.create(*mDc, FrameLayout::kI420, 1920, 1080, kMessages), 0);
    expect_size(i420.plane(0), 480, 1080);
    // Two chroma bytes per RG texel, or one per R texel where RG is missing (PoCL).
    const bool rg = supports_image_format(mDc->context, CL_RG, CL_UNORM_INT8);
    EXPECT_EQ(order_of(i420.plane(1)), static_cast<cl_channel_order>(rg ? CL_RG : CL_R));
    expect_size(i420.plane(1), rg ? 480 : 960, 540);
    expect_size(i420.plane(2), rg ? 480 : 960, 540);
    EXPECT_EQ(i420.texel_width(1), rg ? 480u : 960u);

    Images yuy2;
    ASSERT_EQ(yuy2.create(*mDc, FrameLayout::kYuy2, 1280, 720, kMessages), 0);
    expect_size(yuy2.plane(0), 640, 720);

    nv12 = Images{};
    i420 = Images{};
    yuy2 = Images{};
    EXPECT_EQ(nv12.plane(0), nullptr);
    EXPECT_EQ(i420.plane(2), nullptr);
    EXPECT_EQ(yuy2.plane(0), nullptr);
}

TEST_F(FrameImages, PlanesTravelByteForByte) {
    const int w = 36, h = 10;
    Images im;
    ASSERT_EQ(im.create(*mDc, FrameLayout::kI420, w, h, kMessages), 0);
    const Bytes y = ramp(w * h, 1), u = ramp(w * h / 4, 2), v = ramp(w * h / 4, 3);
    const std::uint8_t* const i420In[] = {y.data(), u.data(), v.data()};
    EXPECT_EQ(im.upload(queue(), i420In, kMessages), CL_SUCCESS);
    Bytes y2(y.size()), u2(u.size()), v2(v.size());
    std::uint8_t* const i420Out[] = {y2.data(), u2.data(), v2.data()};
    EXPECT_EQ(im.read_back(queue(), i420Out), CL_SUCCESS);
    EXPECT_EQ(y2, y);
    EXPECT_EQ(u2, u);
    EXPECT_EQ(v2, v);
    // Frames kernels only read may pack the chroma four samples to a texel
    // (widths of whole RGBA texels); the bytes are the same.
    for (const int width : {40, 36}) {
        Images packed;
        ASSERT_EQ(
            packed.create(*mDc, FrameLayout::kI420, width, h, kMessages, FrameAccess::kKernelReads),
            0);
        const Bytes py = ramp(width * h, 6), pu = ramp(width * h / 4, 7),
                    pv = ramp(width * h / 4, 8);
        const std::uint8_t* const packedIn[] = {py.data(), pu.data(), pv.data()};
        EXPECT_EQ(packed.upload(queue(), packedIn, kMessages), CL_SUCCESS);
        Bytes pu2(pu.size()), pv2(pv.size()), py2(py.size());
        std::uint8_t* const packedOut[] = {py2.data(), pu2.data(), pv2.data()};
        EXPECT_EQ(packed.read_back(queue(), packedOut), CL_SUCCESS);
        EXPECT_EQ(pu2, pu) << width;
        EXPECT_EQ(pv2, pv) << width;
    }

    Images nv12;
    ASSERT_EQ(nv12.create(*mDc, FrameLayout::kNv12, w, h, kMessages), 0);
    const Bytes uv = ramp(w * h / 2, 4);
    const std::uint8_t* const nv12In[] = {y.data(), uv.data()};
    nv12.upload(queue(), nv12In, kMessages);
    Bytes uv2(uv.size());
    std::uint8_t* const nv12Out[] = {y2.data(), uv2.data()};
    nv12.read_back(queue(), nv12Out);
    EXPECT_EQ(uv2, uv);

    Images yuy2;
    ASSERT_EQ(yuy2.create(*mDc, FrameLayout::kYuy2, w, h, kMessages), 0);
    const Bytes packed = ramp(w * h * 2, 5);
    const std::uint8_t* const yuy2In[] = {packed.data()};
    yuy2.upload(queue(), yuy2In, kMessages);
    Bytes packed2(packed.size());
    std::uint8_t* const yuy2Out[] = {packed2.data()};
    yuy2.read_back(queue(), yuy2Out);
    EXPECT_EQ(packed2, packed);
}

TEST_F(FrameImages, EmptyHandlesAreReportedNotPassedOn) {
    const Images none;
    Bytes plane(64);
    const std::uint8_t* const in[] = {plane.data(), plane.data()};
    std::uint8_t* const out[] = {plane.data(), plane.data()};
    CaptureStdout();
    EXPECT_EQ(none.upload(queue(), in, kMessages), CL_INVALID_MEM_OBJECT);
    EXPECT_EQ(none.read_back(queue(), out), CL_INVALID_MEM_OBJECT);
    EXPECT_EQ(set_kernel_args(mDc->kernels[0],
                              {{KernelArg::mem(nullptr), "a0:%d\n"},
                               {KernelArg::mem(nullptr), "a1(%d):%d\n", 7}},
                              ArgStatus::kEach),
              2 * CL_INVALID_MEM_OBJECT);
    EXPECT_EQ(launch_kernel_2d(*mDc, queue(), nullptr, 4, 4, "launch:%d\n"), CL_INVALID_KERNEL);
    EXPECT_EQ(GetCapturedStdout(),
              "wY:-38\nwUV:-38\nError @clEnqueueReadImage:-38\nError @clEnqueueReadImage:-38\n"
              "a0:-38\na1(7):-38\nlaunch:-48\n");
}

TEST_F(FrameImages, RunningSumKeepsReportingOnceAnArgumentFailed) {
    CaptureStdout();
    const cl_int sum = set_kernel_args(
        mDc->kernels[1],
        {{KernelArg::mem(nullptr), "a0:%d\n"}, {KernelArg::f32(0.5f), "a1(%d):%d\n", 11}},
        ArgStatus::kRunningSum);
    EXPECT_EQ(sum, CL_INVALID_MEM_OBJECT);
    EXPECT_EQ(GetCapturedStdout(), "a0:-38\na1(11):-38\n");
}

TEST_F(FrameImages, SetsAreMadeAgainOnlyWhenTheSizeChanges) {
    FrameSet<2> set;
    EXPECT_EQ(set.ensure(*mDc, FrameLayout::kNv12, 64, 8, kMessages), 2);
    const cl_mem first = set[1].plane(1);
    EXPECT_EQ(set.ensure(*mDc, FrameLayout::kNv12, 64, 8, kMessages), FrameSet<2>::kUnchanged);
    EXPECT_EQ(set[1].plane(1), first);
    EXPECT_EQ(set.ensure(*mDc, FrameLayout::kNv12, 32, 8, kMessages), 2);
    expect_size(set[1].plane(1), 8, 4);
}

TEST_F(FrameImages, LaunchUsesTheCachedLocalSize) {
    Images a, b;
    ASSERT_EQ(a.create(*mDc, FrameLayout::kNv12, 64, 8, kMessages), 0);
    ASSERT_EQ(b.create(*mDc, FrameLayout::kNv12, 64, 8, kMessages), 0);
    const Bytes y = ramp(64 * 8, 9), uv = ramp(64 * 4, 1);
    const std::uint8_t* const in[] = {y.data(), uv.data()};
    a.upload(queue(), in, kMessages);
    set_kernel_args(
        mDc->kernels[0],
        {{KernelArg::mem(a.plane(0)), "a0:%d\n"}, {KernelArg::mem(b.plane(0)), "a1:%d\n"}},
        ArgStatus::kEach);
    mDc->localSizes.clear();
    EXPECT_EQ(launch_kernel_2d(*mDc, queue(), mDc->kernels[0], 16, 8, "launch:%d\n"), CL_SUCCESS);
    EXPECT_EQ(mDc->localSizes.size(), 1u);
    Bytes out(y.size());
    readImage2D(queue(), b.plane(0), 16, 8, out.data());
    EXPECT_EQ(out, y);
}

TEST(CheckFrame, RejectsBadSizesAndMissingPlanesWithOneLine) {
    std::uint8_t plane[8];
    const void* good[] = {plane, plane};
    const void* missing[] = {plane, nullptr};
    struct Case {
        int w, h;
        const void* const* planes;
        bool ok;
    } cases[] = {{4, 2, good, true},  {36, 10, good, true},  {6, 2, good, false},
                 {0, 2, good, false}, {-4, 2, good, false},  {4, 3, good, false},
                 {4, 0, good, false}, {4, 2, missing, false}};
    for (const Case& c : cases) {
        CaptureStdout();
        EXPECT_EQ(check_frame("exec", c.w, c.h, c.planes, 2), c.ok) << c.w << "x" << c.h;
        const std::string out = GetCapturedStdout();
        EXPECT_EQ(out.empty(), c.ok);
        if (!c.ok) {
            EXPECT_EQ(out, "Error @exec(bad frame " + std::to_string(c.w) + "x" +
                               std::to_string(c.h) + "):-30\n");
        }
    }
}

}  // namespace
