// The OpenCL device context of one processing object: platform choice,
// context, in-order queue(s), the embedded program and its kernels, and the
// work-group size cache. The libraries differ only in a ContextVariant.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "gpu_runtime/cl_api.h"
#include "gpu_runtime/cl_handle.h"
#include "gpu_runtime/embedded_program.h"
#include "gpu_runtime/local_size.h"

namespace gpurt {

struct KernelEntry {
    const char* name;
    const char* failureMessage;  // printf format with the status
};

enum class QueueApi {
    kWithProperties,  // clCreateCommandQueueWithProperties, no properties
    kLegacy,          // clCreateCommandQueue, properties 0
};

struct ContextVariant {
    std::vector<std::string> intelPlatformNames;
    QueueApi queueApi;
    int queueCount;  // 1 or 2
    const char* buildFailureMessage;
    std::vector<KernelEntry> kernels;
    int localSizeCap;
    EmbeddedProgram program;
};

class DeviceContext {
public:
    static constexpr int kMaxQueues = 2;

    // The variant is static data of the library and outlives the context.
    DeviceContext(const ContextVariant& variant, int gpuPriority);

    // Builds everything once; 0 on success, -1 when no platform is found or the
    // program fails to build, else the status of the last kernel creation.
    int initOpenCL();

    void chooseLocalSize(std::size_t gx, std::size_t gy, std::size_t local[2]) {
        localSizes.chooseLocalSize(gx, gy, local);
    }

    int ready = 0;
    int gpuPriority;
    cl_device_id device = nullptr;
    // Declared in creation order, so they are released newest first.
    Context context;
    Queue queues[kMaxQueues];
    std::vector<Kernel> kernels;  // in the variant's order; empty handles where creation failed
    LocalSizeCache localSizes;

private:
    void create_queues();
    Program build_program();
    cl_int create_kernels(cl_program program);

    const ContextVariant& mVariant;
};

}  // namespace gpurt
