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
    a.mem_ = m;
    a.isMem_ = true;
    return a;
  }
  static KernelArg i32(cl_int v) {
    KernelArg a(sizeof(cl_int));
    a.int_ = v;
    return a;
  }
  static KernelArg f32(cl_float v) {
    KernelArg a(sizeof(cl_float));
    a.float_ = v;
    return a;
  }

  bool is_empty_handle() const { return isMem_ && mem_ == nullptr; }
  std::size_t size() const { return size_; }
  const void* data() const { return isMem_ ? static_cast<const void*>(&mem_) : &int_; }

 private:
  explicit KernelArg(std::size_t size) : size_(size) {}
  std::size_t size_;
  bool isMem_ = false;
  union {
    cl_int int_;
    cl_float float_;
  };
  cl_mem mem_ = nullptr;
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
cl_int launch_kernel_2d(DeviceContext& dc, cl_command_queue queue, cl_kernel kernel, std::size_t gx, std::size_t gy,
                        const char* failureMessage);

// The same with the local size left to the OpenCL runtime.
cl_int launch_kernel_2d(cl_command_queue queue, cl_kernel kernel, std::size_t gx, std::size_t gy,
                        const char* failureMessage);

}  // namespace gpurt
