// Setting a kernel's arguments from a list, and launching it, with each
// library's failure messages. Empty handles are reported, never passed on.
#pragma once

#include <cstddef>
#include <vector>

#include "gpu_runtime/cl_api.h"

namespace gpurt {

class DeviceContext;

class KernelArg {
public:
    static KernelArg mem(cl_mem m) {
        KernelArg a(sizeof(cl_mem));
        a.mMem = m;
        a.mIsMem = true;
        return a;
    }
    static KernelArg i32(cl_int v) {
        KernelArg a(sizeof(cl_int));
        a.mInt = v;
        return a;
    }
    static KernelArg f32(cl_float v) {
        KernelArg a(sizeof(cl_float));
        a.mFloat = v;
        return a;
    }

    bool is_empty_handle() const { return mIsMem && mMem == nullptr; }
    std::size_t size() const { return mSize; }
    const void* data() const { return mIsMem ? static_cast<const void*>(&mMem) : &mInt; }

private:
    explicit KernelArg(std::size_t size) : mSize(size) {}
    std::size_t mSize;
    bool mIsMem = false;
    union {
        cl_int mInt;
        cl_float mFloat;
    };
    cl_mem mMem = nullptr;
};

// One argument and what to print when setting it fails: with a call-site
// number, the message takes (site, status); without one (site < 0) only the status.
struct ArgStep {
    KernelArg arg;
    const char* message;
    int site = -1;
};

enum class ArgStatus {
    kEach,        // each message reports its own call's status
    kRunningSum,  // statuses add up; every step prints while the sum is non-zero
};

// Sets the arguments in index order; returns the sum of the statuses.
cl_int set_kernel_args(cl_kernel kernel, const std::vector<ArgStep>& steps, ArgStatus mode);

// Two-dimensional launch with no offset and no events, the local size from
// the context's cache; prints failureMessage with the status on failure.
cl_int launch_kernel_2d(DeviceContext& dc, cl_command_queue queue, cl_kernel kernel, std::size_t gx,
                        std::size_t gy, const char* failureMessage);

// The same with the local size left to the OpenCL runtime.
cl_int launch_kernel_2d(cl_command_queue queue, cl_kernel kernel, std::size_t gx, std::size_t gy,
                        const char* failureMessage);

}  // namespace gpurt
