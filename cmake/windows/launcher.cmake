# skyvane-launcher.exe: the system folders over the Windows framework and the real services.
configure_file(${PROJECT_SOURCE_DIR}/packaging/version.h.in
               ${PROJECT_BINARY_DIR}/generated/skyvane/version.h @ONLY)
add_library(skyvane_version INTERFACE)
target_include_directories(skyvane_version INTERFACE ${PROJECT_BINARY_DIR}/generated)

# The splash draws with device contexts: without them there is no launcher to link.
if(NOT TARGET platform_ui_win32_gdi)
  message(STATUS "skyvane-launcher.exe: waits for the GDI library (platform_ui_win32_gdi)")
  return()
endif()

set(skyvane_launcher_sources ${PROJECT_SOURCE_DIR}/app/WinMain.cpp)
if(TARGET skyvane_launcher_rc)
  list(APPEND skyvane_launcher_sources $<TARGET_OBJECTS:skyvane_launcher_rc>) # icon 128
endif()
add_executable(skyvane-launcher WIN32 ${skyvane_launcher_sources})
target_include_directories(skyvane-launcher PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(skyvane-launcher PRIVATE
  system_app system_splash system_dialup system_browsers system_settings system_res
  platform_ui_win32 platform_ui_win32_gdi platform_dialup_service_win32 platform_clock
  platform_commandline skyvane_version
  user32 gdi32 comctl32 advapi32 rasapi32 ktmw32)
