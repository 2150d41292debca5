# The whole run of the launcher under Wine: demo/setup-windows.sh makes the demo installation
# (a folder with a blank, the registry seeded with Wine's reg import) as the test's fixture, and
# the test drives the launcher through Wine's user32.
if(TARGET skyvane-launcher AND TARGET skyvane-java-exe AND TARGET skyvane-boot)
  set(whole_run_demo ${CMAKE_CURRENT_BINARY_DIR}/whole-run)
  add_test(NAME tests_win32_whole_run_setup
           COMMAND ${CMAKE_COMMAND} -E env SKYVANE_LAUNCHER=$<TARGET_FILE:skyvane-launcher>
                   SKYVANE_JAVA_EXE=$<TARGET_FILE:skyvane-java-exe>
                   SKYVANE_BOOT_EXE=$<TARGET_FILE:skyvane-boot>
                   bash ${PROJECT_SOURCE_DIR}/demo/setup-windows.sh ${CMAKE_BINARY_DIR}
                   --dest ${whole_run_demo})
  set_tests_properties(tests_win32_whole_run_setup PROPERTIES FIXTURES_SETUP win32_whole_run
                       TIMEOUT 120)

  skyvane_add_wine_test(tests_win32_whole_run SOURCES ${T}/win32/WholeRunTest.cpp LIBS platform_base advapi32 user32)
  set_tests_properties(tests_win32_whole_run PROPERTIES FIXTURES_REQUIRED win32_whole_run)
  add_dependencies(tests_win32_whole_run skyvane-launcher skyvane-java-exe skyvane-boot)
endif()
