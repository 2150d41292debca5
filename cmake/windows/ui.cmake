# The framework on the real Win32 API: windows, dialogs from the resources' templates, controls,
# message maps, message boxes and threads. The resource table, the message-map routing, the
# formatters and the application object are the same files as on Linux.
set(skyvane_ui_dir ${PROJECT_SOURCE_DIR}/platform/ui)
file(GLOB skyvane_ui_win32_sources CONFIGURE_DEPENDS ${skyvane_ui_dir}/win32/*.cpp)
list(FILTER skyvane_ui_win32_sources EXCLUDE REGEX "/Gdi[^/]*\\.cpp$")
add_library(platform_ui_win32 STATIC
  ${skyvane_ui_win32_sources}
  ${skyvane_ui_dir}/Controls.cpp
  ${skyvane_ui_dir}/DialogBase.cpp
  ${skyvane_ui_dir}/Format.cpp
  ${skyvane_ui_dir}/MessageMap.cpp
  ${skyvane_ui_dir}/Resources.cpp
  ${skyvane_ui_dir}/WinApp.cpp)
target_link_libraries(platform_ui_win32 PUBLIC platform_base platform_commandline user32 comctl32)
# The device contexts (CDC and the GDI objects) are a library of their own.
if(TARGET platform_ui_win32_gdi)
  target_link_libraries(platform_ui_win32 PUBLIC platform_ui_win32_gdi)
endif()
