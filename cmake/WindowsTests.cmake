# The Windows tests: the platform-neutral tests in tests/system, built with
# GoogleTest from the sources of Debian's googletest package and run under
# Wine by ctest (the toolchain's CMAKE_CROSSCOMPILING_EMULATOR).
enable_testing()
add_subdirectory(/usr/src/googletest ${CMAKE_CURRENT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

file(GLOB TAVRO_SYSTEM_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/system/*.cpp
  ${PROJECT_SOURCE_DIR}/tests/system/*.h)
add_executable(tavro_tests_system ${TAVRO_SYSTEM_TEST_SOURCES})
target_include_directories(tavro_tests_system PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(tavro_tests_system PRIVATE tavro_system GTest::gtest GTest::gtest_main)
target_compile_definitions(tavro_tests_system PRIVATE TAVRO_PLATFORM_INTERNAL)
# Each test runs in a Wine process of its own: a test list is discovered
# before the tests run, and the tests' temporary folders are Wine's.
gtest_discover_tests(tavro_tests_system
  DISCOVERY_MODE PRE_TEST
  DISCOVERY_TIMEOUT 60
  NO_PRETTY_VALUES
  TEST_PREFIX "windows.system."
  PROPERTIES TIMEOUT 300)

# The forms runtime's Windows controls (the file list, the text box), on real
# windows: ctest runs them under Wine on the display scripts/windows gives it.
file(GLOB TAVRO_WINDOWS_FORMS_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/windows/*.cpp)
add_executable(tavro_tests_windows ${TAVRO_WINDOWS_FORMS_TEST_SOURCES})
target_include_directories(tavro_tests_windows PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(tavro_tests_windows PRIVATE tavro_platform GTest::gtest GTest::gtest_main)
target_compile_definitions(tavro_tests_windows PRIVATE TAVRO_PLATFORM_INTERNAL)
gtest_discover_tests(tavro_tests_windows
  DISCOVERY_MODE PRE_TEST
  DISCOVERY_TIMEOUT 60
  NO_PRETTY_VALUES
  TEST_PREFIX "windows.forms."
  PROPERTIES TIMEOUT 300)
