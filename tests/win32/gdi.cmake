# The GDI table on gdi32's memory device contexts, with the launcher's resources (icon 128).
skyvane_add_wine_test(tests_win32_gdi
  SOURCES ${T}/platform/windows/GdiTest.cpp
  LIBS platform_ui_win32_gdi skyvane_launcher_rc)

# The splash's framed icon drawn by the real splash on gdi32, once the framework runs on Win32;
# a copy without the resources shows what the button does when icon 128 cannot be loaded.
if(TARGET platform_ui_win32)
  set(splash_libs system_splash system_res platform_ui_win32 platform_ui_win32_gdi)
  skyvane_add_wine_test(tests_win32_splash
    SOURCES ${T}/splash/FramedIconButtonTest.cpp
    LIBS ${splash_libs} skyvane_launcher_rc)
  skyvane_add_wine_test(tests_win32_splash_noicon
    SOURCES ${T}/splash/FramedIconButtonTest.cpp
    LIBS ${splash_libs})
  set_tests_properties(tests_win32_splash_noicon PROPERTIES
                       ENVIRONMENT "GTEST_FILTER=FramedIconTest.MissingIconDrawsNothing")
endif()
