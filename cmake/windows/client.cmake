# The client's programs on Windows, in the installation's layout below client/: jdk\java.exe
# (the console and updater stand-ins, as there is no Java runtime) and VIZevu.exe. The command
# line and the launcher-path file are read by the same code as on Linux.
add_library(client_java_command STATIC ${PROJECT_SOURCE_DIR}/client/jdk/JavaCommand.cpp
                                       ${PROJECT_SOURCE_DIR}/client/jdk/StandIns.cpp)
target_include_directories(client_java_command PUBLIC ${PROJECT_SOURCE_DIR})

add_library(client_boot STATIC ${PROJECT_SOURCE_DIR}/client/boot/LauncherPath.cpp)
target_include_directories(client_boot PUBLIC ${PROJECT_SOURCE_DIR})

add_library(client_standins STATIC ${PROJECT_SOURCE_DIR}/client/win32/Console.cpp
                                   ${PROJECT_SOURCE_DIR}/client/win32/StandIns.cpp)
target_link_libraries(client_standins PUBLIC client_java_command user32 gdi32)

add_executable(skyvane-java-exe ${PROJECT_SOURCE_DIR}/client/win32/JavaMain.cpp)
target_link_libraries(skyvane-java-exe PRIVATE client_standins)
set_target_properties(skyvane-java-exe PROPERTIES OUTPUT_NAME java
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/client/jdk)

add_executable(skyvane-boot ${PROJECT_SOURCE_DIR}/client/win32/BootMain.cpp)
target_link_libraries(skyvane-boot PRIVATE client_boot)
set_target_properties(skyvane-boot PROPERTIES OUTPUT_NAME VIZevu
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/client)
