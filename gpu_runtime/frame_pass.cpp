#include "gpu_runtime/frame_pass.h"

#include "gpu_runtime/device_context.h"
#include "gpu_runtime/gpu_print.h"

namespace gpurt {

cl_int QueueLauncher::run(const Pass& pass) {
    const cl_kernel kernel = static_cast<std::size_t>(pass.kernel) < mDc.kernels.size()
                                 ? mDc.kernels[pass.kernel].get()
                                 : nullptr;
    if (set_kernel_args(kernel, pass.args, pass.argStatus) != CL_SUCCESS && pass.needsAllArgs) {
        gpu_print(pass.failure, CL_INVALID_KERNEL_ARGS);
        return CL_INVALID_KERNEL_ARGS;
    }
    if (pass.local == LocalSize::kCached)
        return launch_kernel_2d(mDc, mQueue, kernel, pass.gx, pass.gy, pass.failure);
    return launch_kernel_2d(mQueue, kernel, pass.gx, pass.gy, pass.failure);
}

cl_int run_passes(Launcher& launcher, const std::vector<Pass>& passes) {
    StepStatuses statuses;
    for (const Pass& pass : passes) statuses.record(launcher.run(pass));
    return statuses.combined();
}

}  // namespace gpurt
