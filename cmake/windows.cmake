# Windows tree: the engine, the Win32 layer and adapters, the programs, and the tests run under Wine.
set(VX_WIN_LIBS ole32 oleaut32 uuid comctl32 comdlg32 shell32 shlwapi wininet advapi32 gdi32 user32 uxtheme)
add_link_options(-static -static-libgcc -static-libstdc++)
add_compile_definitions(WINVER=0x0601 _WIN32_WINNT=0x0601 _WIN32_IE=0x0800 NOMINMAX)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR}/src/resources -I${CMAKE_SOURCE_DIR}/src -I${CMAKE_BINARY_DIR}")

vx_library(vexaro_core ${VX_CORE_SOURCES})
vx_library(vexaro_win ${VX_WIN_SOURCES})
target_link_libraries(vexaro_win PUBLIC vexaro_core ${VX_WIN_LIBS})

set(VX_VEXARO_RC ${CMAKE_SOURCE_DIR}/src/resources/vexaro.rc)
# windres reports no dependencies: the script is rebuilt whenever anything it includes changes.
file(GLOB_RECURSE vx_resource_inputs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/resources/*)
list(REMOVE_ITEM vx_resource_inputs ${VX_VEXARO_RC})
set_source_files_properties(${VX_VEXARO_RC} PROPERTIES OBJECT_DEPENDS "${vx_resource_inputs}")
set(VX_RUNTIME_DIR ${CMAKE_BINARY_DIR}/bin)

# Vexaro.exe: the entry point plus the resources.
file(GLOB vx_vexaro_main CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/app/win/*_main.cpp)
if(vx_vexaro_main AND EXISTS ${VX_VEXARO_RC})
  add_executable(Vexaro WIN32 ${vx_vexaro_main} ${VX_VEXARO_RC})
  target_link_libraries(Vexaro PRIVATE vexaro_win vexaro_core)
  set_target_properties(Vexaro PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VX_RUNTIME_DIR})
endif()

# Quenta.dll: the band module, when its sources exist.
# Its type library and the interface header come from quenta.idl through widl; the .rc embeds
# the library as TYPELIB 1.
file(GLOB vx_quenta_rc CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/resources/quenta.rc)
if(VX_QUENTA_SOURCES)
  find_program(VX_WIDL NAMES x86_64-w64-mingw32-widl widl REQUIRED)
  set(vx_quenta_gen ${CMAKE_BINARY_DIR}/quenta)
  set(vx_quenta_idl ${CMAKE_SOURCE_DIR}/src/resources/quenta.idl)
  set(vx_widl_flags -I/usr/include/wine/wine/windows -L/usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
  file(MAKE_DIRECTORY ${vx_quenta_gen})
  add_custom_command(OUTPUT ${vx_quenta_gen}/quenta.tlb ${vx_quenta_gen}/quenta_h.h
    COMMAND ${VX_WIDL} ${vx_widl_flags} -t -o ${vx_quenta_gen}/quenta.tlb ${vx_quenta_idl}
    COMMAND ${VX_WIDL} ${vx_widl_flags} -h -o ${vx_quenta_gen}/quenta_h.h ${vx_quenta_idl}
    DEPENDS ${vx_quenta_idl}
    COMMENT "widl: the Quenta type library and interface header")
  add_custom_target(quenta_idl DEPENDS ${vx_quenta_gen}/quenta.tlb ${vx_quenta_gen}/quenta_h.h)
  set_source_files_properties(${vx_quenta_rc} PROPERTIES
    OBJECT_DEPENDS "${vx_quenta_gen}/quenta.tlb;${CMAKE_SOURCE_DIR}/src/resources/quenta_ids.h;${CMAKE_SOURCE_DIR}/src/resources/vexaro.ico")
  add_library(Quenta SHARED ${VX_QUENTA_SOURCES} ${vx_quenta_rc}
    ${CMAKE_SOURCE_DIR}/src/toolbar/win/quenta.def)
  add_dependencies(Quenta quenta_idl)
  target_include_directories(Quenta PRIVATE ${vx_quenta_gen})
  target_compile_options(Quenta PRIVATE $<$<COMPILE_LANGUAGE:RC>:-I${vx_quenta_gen}>)
  target_link_libraries(Quenta PRIVATE vexaro_core ${VX_WIN_LIBS})
  set_target_properties(Quenta PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${VX_RUNTIME_DIR})
endif()

# Only tests/support/test_paths.cpp holds the folders (see test_paths.h).
set_source_files_properties(${CMAKE_SOURCE_DIR}/tests/support/test_paths.cpp PROPERTIES
  COMPILE_DEFINITIONS "VX_TEST_FIXTURES_DIR=\"Z:${CMAKE_SOURCE_DIR}/tests/fixtures\";VX_TEST_SOURCE_DIR=\"Z:${CMAKE_SOURCE_DIR}\";VX_TEST_BUILD_DIR=\"Z:${CMAKE_BINARY_DIR}\"")

# Windows tests: adapters and windows, run one case per Wine process. They share one desktop,
# so they never run in parallel with each other.
if(VX_WIN_TEST_SOURCES)
  add_executable(win_tests ${VX_WIN_TEST_SOURCES} ${VX_TEST_SUPPORT_SOURCES} ${VX_VEXARO_RC})
  target_link_libraries(win_tests PRIVATE vexaro_win vexaro_core gmock gtest_main ws2_32)
  target_include_directories(win_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/tools)
  # The band's tests register Quenta.dll and start a stub in place of Vexaro.exe.
  add_executable(stub-vexaro WIN32 ${CMAKE_SOURCE_DIR}/tests/win/stub-vexaro/stub_vexaro.cpp)
  set_target_properties(stub-vexaro PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VX_RUNTIME_DIR})
  if(TARGET Quenta)
    add_dependencies(win_tests Quenta stub-vexaro)
  endif()
  set_target_properties(win_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VX_RUNTIME_DIR})
  gtest_discover_tests(win_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    PROPERTIES RESOURCE_LOCK desktop TIMEOUT 300)
endif()

# Whole-program runs: tests/e2e/<name>.sh, given the folder of the built programs.
file(GLOB vx_e2e_scripts CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.sh)
foreach(script ${vx_e2e_scripts})
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME e2e.${name} COMMAND bash ${script})
  set_tests_properties(e2e.${name} PROPERTIES RESOURCE_LOCK desktop TIMEOUT 600
    ENVIRONMENT "VX_BIN_DIR=${VX_RUNTIME_DIR};VX_SOURCE_DIR=${CMAKE_SOURCE_DIR};VX_WINE_RUN=${CMAKE_SOURCE_DIR}/scripts/wine-run")
endforeach()

# Bench programs run under Wine by scripts/bench-wine (make bench); never part of the test run.
file(GLOB vx_win_bench_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/win/*.cpp)
foreach(src ${vx_win_bench_sources})
  get_filename_component(name ${src} NAME_WE)
  # With the program's resources, so windows (the history window) can be measured too.
  add_executable(${name} ${src} ${VX_VEXARO_RC})
  target_compile_options(${name} PRIVATE -O2)
  target_link_libraries(${name} PRIVATE vexaro_win vexaro_core)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endforeach()

# The user manual: docs/manual compiled by chmcmd into quenta.chm beside Vexaro.exe.
file(GLOB vx_manual_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/manual/*)
if(vx_manual_sources)
  find_program(VX_CHMCMD chmcmd REQUIRED)
  set(vx_manual_build ${CMAKE_BINARY_DIR}/manual)
  add_custom_command(OUTPUT ${VX_RUNTIME_DIR}/quenta.chm
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${vx_manual_build}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/docs/manual ${vx_manual_build}
    COMMAND ${CMAKE_COMMAND} -E chdir ${vx_manual_build} ${VX_CHMCMD} quenta.hhp > manual/chmcmd.log
    COMMAND ${CMAKE_COMMAND} -E copy ${vx_manual_build}/quenta.chm ${VX_RUNTIME_DIR}/quenta.chm
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS ${vx_manual_sources}
    COMMENT "chmcmd: the user manual quenta.chm")
  add_custom_target(manual ALL DEPENDS ${VX_RUNTIME_DIR}/quenta.chm)
endif()
