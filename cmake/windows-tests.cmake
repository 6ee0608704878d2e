# The tests that speak only the Direct3D 11, DXGI and D3DX API, cross-built for Windows from the same
# sources as on Linux, against the real SDK headers and import libraries (tools/test-wine.sh runs them
# under Wine). GoogleTest is built from its sources with the cross compiler, which must be MinGW's POSIX
# thread model (MINGW_THREAD_MODEL=-posix): GoogleTest needs std::mutex, which the win32 model lacks.
if(NOT MINGW_THREAD_MODEL STREQUAL "-posix")
  message(FATAL_ERROR "the Windows tests need -DMINGW_THREAD_MODEL=-posix")
endif()
set(googletest_source /usr/src/googletest CACHE PATH "GoogleTest's sources, built with the cross compiler")
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${googletest_source} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(windows_tests_dir ${CMAKE_BINARY_DIR}/tests)
set(t ${PROJECT_SOURCE_DIR}/tests)

# What every test program shares: the Direct3D 11 test helpers and the checks for what an implementation
# lacks. The files the tests open are found by the same absolute paths as on Linux (under Wine, drive Z:
# is /).
add_library(windows_test_support STATIC ${t}/d3d11/d3d11_test.cpp ${t}/d3d11/implementation_gaps.cpp)
target_compile_features(windows_test_support PUBLIC cxx_std_17)
target_compile_options(windows_test_support PUBLIC -Wall -Wextra)
target_compile_definitions(windows_test_support PUBLIC UNICODE _UNICODE VIEWER_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                                       VIEWER_DATA_DIR="${PROJECT_SOURCE_DIR}/assets")
target_include_directories(windows_test_support PUBLIC ${PROJECT_SOURCE_DIR} ${t}
                                                       ${PROJECT_SOURCE_DIR}/platform/mingw/include)
target_link_libraries(windows_test_support PUBLIC gtest d3dx11_43 d3dx10_43 d3d11 dxgi dxguid user32 gdi32)

# windows_add_test(name SOURCES ...): a console program per test folder, as on Linux.
function(windows_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE windows_test_support gtest_main)
  target_link_options(${name} PRIVATE -static)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${windows_tests_dir})
  set_property(GLOBAL APPEND PROPERTY windows_test_programs ${name})
endfunction()

windows_add_test(d3d11_tests SOURCES ${t}/d3d11/render_test.cpp ${t}/d3d11/shading_test.cpp ${t}/d3d11/objects_test.cpp)
windows_add_test(d3d11_window_tests SOURCES ${t}/d3d11/swap_chain_test.cpp)
windows_add_test(d3dx_tests
                 SOURCES ${t}/d3dx/compiler_test.cpp ${t}/d3dx/math_test.cpp ${t}/d3dx/texture_loader_test.cpp
                         ${t}/d3dx/compile_support.cpp ${t}/d3dx/test_files.cpp ${t}/d3dx/test_images.cpp)
target_include_directories(d3dx_tests PRIVATE /usr/include/stb)

get_property(programs GLOBAL PROPERTY windows_test_programs)
add_custom_target(windows_tests DEPENDS ${programs})
