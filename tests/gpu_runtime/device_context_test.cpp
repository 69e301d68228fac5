#include "gpu_runtime/device_context.h"

#include <gtest/gtest.h>

#include <string>

extern const gpurt::EmbeddedProgram probe_program;
extern const gpurt::EmbeddedProgram broken_program;

namespace {

using gpurt::ContextVariant;
using gpurt::DeviceContext;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

ContextVariant variant(std::vector<gpurt::KernelEntry> kernels,
                       const gpurt::EmbeddedProgram& program,
                       gpurt::QueueApi api = gpurt::QueueApi::kWithProperties, int queues = 1) {
    return ContextVariant{{"Intel(R) OpenCL HD Graphics"},
                          api,
                          queues,
                          "Error @clBuildProgram:%d\n",
                          std::move(kernels),
                          32,
                          program};
}

bool platform_has_gpu() {
    cl_platform_id platforms[8];
    cl_uint count = 0;
    clGetPlatformIDs(8, platforms, &count);
    cl_uint gpus = 0;
    return count > 0 &&
           clGetDeviceIDs(platforms[count - 1], CL_DEVICE_TYPE_GPU, 0, nullptr, &gpus) ==
               CL_SUCCESS &&
           gpus > 0;
}

TEST(DeviceContext, BuildsTheContextAndKernelsAndPrintsThePlatforms) {
    const ContextVariant v = variant({{"probe_copy", "Error @clCreateKernel1:%d\n"},
                                      {"probe_fill", "Error @clCreateKernel2:%d\n"}},
                                     probe_program);
    DeviceContext dc(v, 2);
    CaptureStdout();
    EXPECT_EQ(dc.initOpenCL(), 0);
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(dc.ready, 1);
    ASSERT_EQ(dc.kernels.size(), 2u);
    EXPECT_NE(dc.kernels[0], nullptr);
    EXPECT_NE(dc.kernels[1], nullptr);
    EXPECT_NE(dc.queues[0], nullptr);
    EXPECT_EQ(dc.queues[1], nullptr);
    EXPECT_EQ(out.rfind("=> nc_platforms=", 0), 0u) << out;
    for (const char* line : {"CL_PLATFORM_NAME:", "CL_PLATFORM_VENDOR:", "CL_PLATFORM_VERSION:",
                             "CL_PLATFORM_PROFILE:", "CL_PLATFORM_EXTENSIONS:"})
        EXPECT_NE(out.find(line), std::string::npos) << line;
    // Without a GPU the context falls back to the platform's first device, after the error line.
    EXPECT_EQ(out.find("Error @clGetDeviceIDs:") != std::string::npos, !platform_has_gpu()) << out;
    EXPECT_EQ(out.find("Error @clBuildProgram"), std::string::npos);
}

TEST(DeviceContext, VariantsChooseTheQueueCallAndCount) {
    const ContextVariant v = variant({{"probe_copy", "Error @clCreateKernel1:%d\n"}}, probe_program,
                                     gpurt::QueueApi::kLegacy, 2);
    DeviceContext dc(v, 0);
    CaptureStdout();
    EXPECT_EQ(dc.initOpenCL(), 0);
    GetCapturedStdout();
    EXPECT_NE(dc.queues[0], nullptr);
    EXPECT_NE(dc.queues[1], nullptr);
    EXPECT_NE(dc.queues[0], dc.queues[1]);
}

TEST(DeviceContext, AFailedKernelIsPrintedAndOnlyTheLastDecidesTheStatus) {
    const ContextVariant missingFirst = variant({{"no_such_kernel", "Error @clCreateKernel1:%d\n"},
                                                 {"probe_fill", "Error @clCreateKernel2:%d\n"}},
                                                probe_program);
    DeviceContext first(missingFirst, 0);
    CaptureStdout();
    EXPECT_EQ(first.initOpenCL(), 0);
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("Error @clCreateKernel1:-46\n"), std::string::npos) << out;
    EXPECT_EQ(first.kernels[0], nullptr);
    EXPECT_EQ(first.ready, 1);

    const ContextVariant missingLast = variant({{"probe_fill", "Error @clCreateKernel1:%d\n"},
                                                {"no_such_kernel", "Error @clCreateKernel2:%d\n"}},
                                               probe_program);
    DeviceContext last(missingLast, 0);
    CaptureStdout();
    EXPECT_EQ(last.initOpenCL(), CL_INVALID_KERNEL_NAME);
    out = GetCapturedStdout();
    EXPECT_NE(out.find("Error @clCreateKernel2:-46\n"), std::string::npos) << out;
    EXPECT_EQ(last.ready, 0);
}

TEST(DeviceContext, ABuildFailurePrintsTheLogAndReturnsMinusOne) {
    const ContextVariant v =
        variant({{"probe_copy", "Error @clCreateKernel1:%d\n"}}, broken_program);
    DeviceContext dc(v, 0);
    CaptureStdout();
    EXPECT_EQ(dc.initOpenCL(), -1);
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(dc.ready, 0);
    EXPECT_TRUE(dc.kernels.empty());
    EXPECT_NE(out.find("Error @clBuildProgram:-11\n"), std::string::npos) << out;
    EXPECT_NE(out.find("clGetProgramBuildInfo:"), std::string::npos);
    EXPECT_NE(out.find("undeclared_name"), std::string::npos)
        << "the compiler's log names the fault";
}

}  // namespace
