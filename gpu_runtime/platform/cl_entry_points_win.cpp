#include <windows.h>

#include "cl_entry_points.h"

namespace gpurt {

// Looked up in OpenCL.dll at run time: importing it would make the whole
// library fail to load where OpenCL.dll is a 1.2 loader.
cl_command_queue create_queue_with_properties(cl_context context, cl_device_id device,
                                              cl_int* status) {
    using CreateQueue = cl_command_queue(CL_API_CALL*)(cl_context, cl_device_id,
                                                       const cl_queue_properties*, cl_int*);
    static const CreateQueue create = [] {
        const HMODULE opencl = GetModuleHandleW(L"OpenCL.dll");
        return opencl ? reinterpret_cast<CreateQueue>(reinterpret_cast<void*>(
                            GetProcAddress(opencl, "clCreateCommandQueueWithProperties")))
                      : nullptr;
    }();
    if (create) return create(context, device, nullptr, status);
    return clCreateCommandQueue(context, device, 0, status);
}

}  // namespace gpurt
