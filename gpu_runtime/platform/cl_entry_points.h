// OpenCL entry points newer than 1.2, which not every loader has: older
// vendor OpenCL.dll files and Wine's implement only OpenCL 1.2.
#pragma once

#include "gpu_runtime/cl_api.h"

namespace gpurt {

// clCreateCommandQueueWithProperties without properties where the loader has
// it, else clCreateCommandQueue with properties 0: the same in-order queue.
cl_command_queue create_queue_with_properties(cl_context context, cl_device_id device,
                                              cl_int* status);

}  // namespace gpurt
