# The framework over Wine's user32 and comctl32, with the test dialogs of the Linux tests. The
# framework's message maps hand device contexts over, so the test waits for the GDI library.
if(TARGET platform_ui_win32_gdi)
  skyvane_add_wine_test(tests_win32_ui
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/UiTest.cpp
            ${T}/platform/ui/FrameworkHelpersTest.cpp
            ${T}/platform/ui/TestDialogs.cpp
            $<TARGET_OBJECTS:system_res>
    LIBS platform_ui_win32 platform_commandline)
endif()
