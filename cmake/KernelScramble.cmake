# add_scrambled_program(<target> <kernel .cl> <key> <symbol> [DEPENDS file ...])
# Scrambles the kernel source at build time into <symbol>.cpp in the build
# tree (a gpurt::EmbeddedProgram named <symbol>) and adds it to <target>.
# Quoted includes in the kernel are resolved against the kernel's folder and
# the gpu_runtime headers.
function(add_scrambled_program target kernel key symbol)
  cmake_parse_arguments(K "" "" "DEPENDS" ${ARGN})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${symbol}.cpp)
  get_target_property(runtime_src gpu_runtime SOURCE_DIR)
  file(GLOB runtime_headers ${runtime_src}/include/gpu_runtime/*.h)
  add_custom_command(OUTPUT ${out}
    COMMAND kernel_scrambler ${kernel} ${key} ${symbol} ${out} ${runtime_src}/include
    DEPENDS kernel_scrambler ${kernel} ${runtime_headers} ${K_DEPENDS}
    COMMENT "Scrambling ${kernel}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()
