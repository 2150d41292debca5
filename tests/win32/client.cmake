# The client programs of the Windows build (cmake/windows/client.cmake), started as the launcher
# starts them, with the rows the Java programs answer on Linux; and java.exe's command-line
# reading, by the Linux table.
skyvane_add_wine_test(tests_win32_client
  SOURCES ${T}/win32/ClientTest.cpp ${T}/integration/JavaExeTest.cpp
  LIBS client_java_command platform_commandline)
add_dependencies(tests_win32_client skyvane-java-exe skyvane-boot process_child_helper)
add_custom_command(TARGET tests_win32_client POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:skyvane-java-exe>
          $<TARGET_FILE:skyvane-boot> $<TARGET_FILE:process_child_helper>
          $<TARGET_FILE_DIR:tests_win32_client>
  VERBATIM)
