# The Windows build (MinGW-w64, see cmake/mingw-w64-x86_64.cmake): the platform headers take the
# real Windows headers, each service is the real API, and the tests run under Wine.
set(SKYVANE_GTEST_SOURCE /usr/src/googletest CACHE PATH
    "GoogleTest sources to cross-build (Debian's googletest package)")

add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
if(SKYVANE_WERROR)
  add_compile_options(-Werror)
endif()
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

add_library(platform_base INTERFACE)
target_include_directories(platform_base INTERFACE ${PROJECT_SOURCE_DIR}/platform/include)

# The command-line splitter is the program's own rule on both systems; under Wine it is held to
# the C runtime's.
add_library(platform_commandline STATIC ${PROJECT_SOURCE_DIR}/platform/process/CommandLine.cpp)
target_link_libraries(platform_commandline PUBLIC platform_base)

# The clock: CTime over the C library's local time, the system clock as its backend.
add_library(platform_clock STATIC ${PROJECT_SOURCE_DIR}/platform/clock/Time.cpp
                                  ${PROJECT_SOURCE_DIR}/platform/clock/SystemClock.cpp)
target_link_libraries(platform_clock PUBLIC platform_base)
# The C runtime's localtime_r (over localtime_s).
target_compile_definitions(platform_clock PRIVATE _POSIX_THREAD_SAFE_FUNCTIONS=200112L)

if(SKYVANE_BUILD_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${SKYVANE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  enable_testing()
endif()

# The system folders compile against the real Windows headers. The launcher's entries are the
# programs' own (app/WinMain.cpp here); app/Services.cpp installs the Linux backends.
foreach(folder res settings browsers dialup splash app)
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/(main|WinMain|Services)\\.cpp$")
  add_library(system_${folder} OBJECT ${sources})
  target_include_directories(system_${folder} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(system_${folder} PUBLIC platform_base)
endforeach()

# The Windows side of each service and program, one file each (framework, drawing, dial-up,
# client programs, the launcher), read in name order.
file(GLOB skyvane_windows_parts CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/windows/*.cmake)
foreach(part ${skyvane_windows_parts})
  include(${part})
endforeach()

# The tests come last: a test of a part that is not built yet is left out (if(TARGET ...)).
if(SKYVANE_BUILD_TESTS)
  add_subdirectory(tests/win32)
endif()
