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
# The files the tests open, found by the same absolute paths as on Linux (under Wine, drive Z: is /).
set(windows_test_definitions VIEWER_SOURCE_DIR="${PROJECT_SOURCE_DIR}" VIEWER_DATA_DIR="${PROJECT_SOURCE_DIR}/assets")

# windows_add_test(name SOURCES ... [LIBS ...]): a console program per test folder, as on Linux.
function(windows_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_features(${name} PRIVATE cxx_std_17)
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  target_compile_definitions(${name} PRIVATE UNICODE _UNICODE ${windows_test_definitions})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests
                                             ${PROJECT_SOURCE_DIR}/platform/mingw/include)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} gtest gtest_main d3dx11_43 d3dx10_43 d3d11 dxgi dxguid user32
                                        gdi32)
  target_link_options(${name} PRIVATE -static)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${windows_tests_dir})
  set_property(GLOBAL APPEND PROPERTY windows_test_programs ${name})
endfunction()

set(t ${PROJECT_SOURCE_DIR}/tests)
set(support ${t}/d3d11/d3d11_test.cpp ${t}/d3d11/implementation_gaps.cpp)
windows_add_test(d3d11_tests
                 SOURCES ${support} ${t}/d3d11/render_test.cpp ${t}/d3d11/shading_test.cpp ${t}/d3d11/objects_test.cpp)
windows_add_test(d3d11_window_tests SOURCES ${support} ${t}/d3d11/swap_chain_test.cpp)
windows_add_test(d3dx_tests
                 SOURCES ${support} ${t}/d3dx/compiler_test.cpp ${t}/d3dx/math_test.cpp ${t}/d3dx/texture_loader_test.cpp
                         ${t}/d3dx/compile_support.cpp ${t}/d3dx/test_files.cpp ${t}/d3dx/test_images.cpp)
target_include_directories(d3dx_tests PRIVATE /usr/include/stb)

get_property(programs GLOBAL PROPERTY windows_test_programs)
add_custom_target(windows_tests DEPENDS ${programs})
