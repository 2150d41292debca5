# Drawing on Windows: CDC, CPen, CBrush and CBitmap over gdi32's own device contexts and objects.
add_library(platform_ui_win32_gdi STATIC ${PROJECT_SOURCE_DIR}/platform/ui/win32/Gdi.cpp)
target_link_libraries(platform_ui_win32_gdi PUBLIC platform_base gdi32 user32)
