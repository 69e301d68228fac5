// A frame's kernel launches as data: each pass names its kernel, its
// arguments with their failure texts, its grid and its launch failure text.
// A launcher carries the passes out; the statuses of a frame's steps are
// recorded in one place.
#pragma once

#include <cstddef>
#include <vector>

#include "gpu_runtime/cl_api.h"
#include "gpu_runtime/kernel_launch.h"

namespace gpurt {

class DeviceContext;

enum class LocalSize {
    kRuntime,  // left to the OpenCL runtime
    kCached,   // from the context's work-group size cache
};

struct Pass {
    int kernel;  // index in the context's kernel list
    std::vector<ArgStep> args;
    std::size_t gx, gy;
    const char* failure;  // printed with the launch status
    ArgStatus argStatus = ArgStatus::kEach;
    LocalSize local = LocalSize::kRuntime;
    // Not enqueued when an argument could not be set (a stale or missing
    // argument would reach the device); failure is then printed with
    // CL_INVALID_KERNEL_ARGS.
    bool needsAllArgs = false;
};

class Launcher {
public:
    virtual ~Launcher() = default;
    // Sets the pass's arguments and enqueues it; the status of the launch.
    virtual cl_int run(const Pass& pass) = 0;
};

// Launches on one queue of a device context.
class QueueLauncher : public Launcher {
public:
    QueueLauncher(DeviceContext& dc, cl_command_queue queue) : mDc(dc), mQueue(queue) {}
    cl_int run(const Pass& pass) override;

private:
    DeviceContext& mDc;
    cl_command_queue mQueue;
};

// Runs the passes in order, every one even after a failure; the OR of their statuses.
cl_int run_passes(Launcher& launcher, const std::vector<Pass>& passes);

// The statuses of a frame's steps: each is printed where it happens and
// recorded here; some texts report the combination.
class StepStatuses {
public:
    cl_int record(cl_int status) {
        mCombined |= status;
        return status;
    }
    cl_int combined() const { return mCombined; }

private:
    cl_int mCombined = CL_SUCCESS;
};

}  // namespace gpurt
