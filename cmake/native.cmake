# Linux tree: the portable engine with native adapters, its tests (sanitized), fuzzers, benchmarks.
set(VX_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)

vx_library(vexaro_core ${VX_CORE_SOURCES})
vx_library(vexaro_posix ${VX_POSIX_SOURCES})
target_link_libraries(vexaro_posix PUBLIC vexaro_core)

# The same sources again with sanitizers for the test binaries.
vx_library(vexaro_core_san ${VX_CORE_SOURCES})
vx_library(vexaro_posix_san ${VX_POSIX_SOURCES})
foreach(t vexaro_core_san vexaro_posix_san)
  target_compile_options(${t} PRIVATE ${VX_SANITIZE})
endforeach()
target_link_libraries(vexaro_posix_san PUBLIC vexaro_core_san)
find_package(Threads REQUIRED)
target_link_libraries(vexaro_core_san PUBLIC Threads::Threads)
target_link_libraries(vexaro_core PUBLIC Threads::Threads)
# The native HTTP road is libcurl's.
find_package(CURL REQUIRED)
target_link_libraries(vexaro_posix PUBLIC CURL::libcurl)
target_link_libraries(vexaro_posix_san PUBLIC CURL::libcurl)

# Only tests/support/test_paths.cpp holds the folders (see test_paths.h).
set_source_files_properties(${CMAKE_SOURCE_DIR}/tests/support/test_paths.cpp PROPERTIES
  COMPILE_DEFINITIONS "VX_TEST_FIXTURES_DIR=\"${CMAKE_SOURCE_DIR}/tests/fixtures\";VX_TEST_SOURCE_DIR=\"${CMAKE_SOURCE_DIR}\";VX_TEST_BUILD_DIR=\"${CMAKE_BINARY_DIR}\"")

if(VX_NATIVE_TEST_SOURCES)
  add_executable(native_tests ${VX_NATIVE_TEST_SOURCES} ${VX_TEST_SUPPORT_SOURCES})
  target_compile_options(native_tests PRIVATE ${VX_SANITIZE})
  target_link_options(native_tests PRIVATE ${VX_SANITIZE})
  # OpenSSL for the https front of the loopback server (tests/support/tls_relay.h).
  find_package(OpenSSL REQUIRED)
  target_link_libraries(native_tests PRIVATE vexaro_posix_san vexaro_core_san gmock gtest_main
                        OpenSSL::SSL)
  target_include_directories(native_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  set_target_properties(native_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(native_tests DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;UBSAN_OPTIONS=print_stacktrace=1")
endif()

# Fuzz targets: tests/fuzz/<name>_fuzz.cpp, driven by our small driver over a seed corpus and a
# fixed-seed batch of mutations (libFuzzer is not needed to run them in CI).
file(GLOB vx_fuzz_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
if(vx_fuzz_sources AND EXISTS ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_driver.cpp)
  foreach(src ${vx_fuzz_sources})
    get_filename_component(name ${src} NAME_WE)
    string(REGEX REPLACE "_fuzz$" "" stem ${name})
    add_executable(${name} ${src} ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_driver.cpp)
    target_compile_options(${name} PRIVATE ${VX_SANITIZE})
    target_link_options(${name} PRIVATE ${VX_SANITIZE})
    target_link_libraries(${name} PRIVATE vexaro_posix_san vexaro_core_san)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    add_test(NAME fuzz.${stem}
      COMMAND ${name} ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${stem} 20000)
  endforeach()
endif()

# Benchmarks: bench/<name>_bench.cpp, optimised and unsanitized; not part of the test run.
find_package(benchmark QUIET)
# pugixml is a yardstick for the XML benchmark only; nothing ships with it.
find_package(pugixml QUIET)
file(GLOB vx_bench_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*_bench.cpp)
if(benchmark_FOUND)
  foreach(src ${vx_bench_sources})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src} ${VX_TEST_SUPPORT_SOURCES})
    target_compile_options(${name} PRIVATE -O2)
    target_link_libraries(${name} PRIVATE vexaro_posix vexaro_core benchmark::benchmark)
    if(TARGET pugixml::pugixml)
      target_link_libraries(${name} PRIVATE pugixml::pugixml)
      target_compile_definitions(${name} PRIVATE VX_HAVE_PUGIXML=1)
    endif()
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  endforeach()
endif()

# The Chromium port and vexaro-harvest (src/chromium): Linux only, over the DevTools protocol.
find_package(Boost REQUIRED)
find_package(nlohmann_json REQUIRED)
find_package(OpenSSL REQUIRED)
file(GLOB vx_chromium_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/chromium/*.cpp)
list(FILTER vx_chromium_sources EXCLUDE REGEX "_main\\.cpp$")
add_library(vexaro_chromium STATIC ${vx_chromium_sources})
target_link_libraries(vexaro_chromium PUBLIC vexaro_posix vexaro_core Boost::boost
                      nlohmann_json::nlohmann_json OpenSSL::Crypto CURL::libcurl)
add_executable(vexaro-harvest ${CMAKE_SOURCE_DIR}/src/chromium/harvest_main.cpp)
target_link_libraries(vexaro-harvest PRIVATE vexaro_chromium)
set_target_properties(vexaro-harvest PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# Tests against a real headless Chromium: one binary, one browser, one ctest entry.
file(GLOB vx_chromium_test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/chromium/*.cpp)
if(vx_chromium_test_sources)
  add_executable(chromium_tests ${vx_chromium_test_sources} ${VX_TEST_SUPPORT_SOURCES})
  target_link_libraries(chromium_tests PRIVATE vexaro_chromium OpenSSL::SSL gtest_main)
  target_include_directories(chromium_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(chromium_tests PRIVATE
    VX_HARVEST_PROGRAM="$<TARGET_FILE:vexaro-harvest>")
  set_target_properties(chromium_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME chromium COMMAND chromium_tests)
  set_tests_properties(chromium PROPERTIES SKIP_RETURN_CODE 77)
endif()
