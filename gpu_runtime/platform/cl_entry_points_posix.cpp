#include "cl_entry_points.h"

namespace gpurt {

// The ICD loader linked here is an OpenCL 2.0 one or later.
cl_command_queue create_queue_with_properties(cl_context context, cl_device_id device,
                                              cl_int* status) {
    return clCreateCommandQueueWithProperties(context, device, nullptr, status);
}

}  // namespace gpurt
