// Does not compile: the build failure path prints the compiler's log.
__kernel void probe_copy(__global int* out) { out[0] = undeclared_name; }
