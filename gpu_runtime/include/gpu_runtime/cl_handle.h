// Move-only owners of OpenCL objects: each holds one reference and releases it
// when it dies or is reset, so a processing object's destructor is the default
// one and members go newest first.
#pragma once

#include <utility>

#include "gpu_runtime/cl_api.h"

namespace gpurt {

template <class Handle, cl_int(CL_API_CALL* Release)(Handle)>
class ClOwner {
public:
    ClOwner() = default;
    explicit ClOwner(Handle handle) : mHandle(handle) {}
    ClOwner(ClOwner&& other) noexcept : mHandle(std::exchange(other.mHandle, nullptr)) {}
    ClOwner& operator=(ClOwner&& other) noexcept {
        if (this != &other) reset(std::exchange(other.mHandle, nullptr));
        return *this;
    }
    ClOwner(const ClOwner&) = delete;
    ClOwner& operator=(const ClOwner&) = delete;
    ~ClOwner() { reset(); }

    // Releases the held object, if any, and takes over the new one.
    void reset(Handle handle = nullptr) {
        if (mHandle) Release(mHandle);
        mHandle = handle;
    }
    Handle get() const { return mHandle; }
    // Borrowed by OpenCL calls; the owner keeps its reference.
    operator Handle() const { return mHandle; }

private:
    Handle mHandle = nullptr;
};

using MemObject = ClOwner<cl_mem, clReleaseMemObject>;
using Kernel = ClOwner<cl_kernel, clReleaseKernel>;
using Program = ClOwner<cl_program, clReleaseProgram>;
using Queue = ClOwner<cl_command_queue, clReleaseCommandQueue>;
using Context = ClOwner<cl_context, clReleaseContext>;

}  // namespace gpurt
