#include "gpu_runtime/kernel_launch.h"

#include "gpu_runtime/device_context.h"
#include "gpu_runtime/gpu_print.h"

namespace gpurt {

cl_int set_kernel_args(cl_kernel kernel, const std::vector<ArgStep>& steps, ArgStatus mode) {
    cl_int sum = CL_SUCCESS;
    cl_uint index = 0;
    for (const ArgStep& step : steps) {
        cl_int status = CL_INVALID_KERNEL;
        if (step.arg.is_empty_handle())
            status = CL_INVALID_MEM_OBJECT;
        else if (kernel)
            status = clSetKernelArg(kernel, index, step.arg.size(), step.arg.data());
        sum += status;
        const cl_int reported = mode == ArgStatus::kRunningSum ? sum : status;
        if (reported != CL_SUCCESS) {
            if (step.site >= 0)
                gpu_print(step.message, step.site, reported);
            else
                gpu_print(step.message, reported);
        }
        ++index;
    }
    return sum;
}

namespace {

cl_int enqueue_2d(cl_command_queue queue, cl_kernel kernel, std::size_t gx, std::size_t gy,
                  const std::size_t* local, const char* failureMessage) {
    cl_int status = !kernel ? CL_INVALID_KERNEL : CL_INVALID_COMMAND_QUEUE;
    if (kernel && queue) {
        const std::size_t global[2] = {gx, gy};
        status =
            clEnqueueNDRangeKernel(queue, kernel, 2, nullptr, global, local, 0, nullptr, nullptr);
    }
    if (status != CL_SUCCESS) gpu_print(failureMessage, status);
    return status;
}

}  // namespace

cl_int launch_kernel_2d(DeviceContext& dc, cl_command_queue queue, cl_kernel kernel, std::size_t gx,
                        std::size_t gy, const char* failureMessage) {
    std::size_t local[2];
    dc.chooseLocalSize(gx, gy, local);
    return enqueue_2d(queue, kernel, gx, gy, local, failureMessage);
}

cl_int launch_kernel_2d(cl_command_queue queue, cl_kernel kernel, std::size_t gx, std::size_t gy,
                        const char* failureMessage) {
    return enqueue_2d(queue, kernel, gx, gy, nullptr, failureMessage);
}

}  // namespace gpurt
