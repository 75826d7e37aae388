# A tree of its own, built with clang: the fuzz targets under libFuzzer, over the engine sources
# compiled with the same sanitizers. scripts/fuzz configures, builds and runs it.
set(VX_FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                  -fno-sanitize-recover=undefined)
vx_library(vexaro_core_fuzz ${VX_CORE_SOURCES} ${VX_POSIX_SOURCES})
target_compile_options(vexaro_core_fuzz PRIVATE ${VX_FUZZ_FLAGS})
find_package(Threads REQUIRED)
find_package(CURL REQUIRED)
target_link_libraries(vexaro_core_fuzz PUBLIC Threads::Threads CURL::libcurl)

file(GLOB vx_fuzz_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
foreach(src ${vx_fuzz_sources})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_compile_options(${name} PRIVATE ${VX_FUZZ_FLAGS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE vexaro_core_fuzz)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endforeach()
