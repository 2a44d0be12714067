# The Windows build: the program and the portable system services as on
# Linux, the system services' win32/ folder, and the forms runtime over real
# Win32 controls. No Qt: Windows itself is the window layer (platform/win32.h
# is <windows.h>). Cross-built with MinGW-w64 (cmake/mingw-w64.cmake) and
# linked statically, so tavro.exe needs no DLL but Windows' own.
enable_language(RC)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)
add_link_options(-static -static-libgcc -static-libstdc++)

set(system_sources ${TAVRO_SYSTEM_SOURCES})
list(FILTER system_sources EXCLUDE REGEX "/posix/")
add_library(tavro_system STATIC ${system_sources} ${TAVRO_SYSTEM_WIN32_SOURCES})
target_include_directories(tavro_system PUBLIC ${TAVRO_PLATFORM_INCLUDE_DIR})
target_compile_definitions(tavro_system PRIVATE TAVRO_PLATFORM_INTERNAL)

add_library(tavro_platform STATIC ${TAVRO_FORMS_SOURCES} ${TAVRO_FORMS_WIN32_SOURCES})
target_include_directories(tavro_platform PUBLIC ${TAVRO_PLATFORM_INCLUDE_DIR})
target_compile_definitions(tavro_platform PRIVATE TAVRO_PLATFORM_INTERNAL)
target_link_libraries(tavro_platform PUBLIC tavro_system
  PRIVATE user32 gdi32 uuid)

# The art as ready pixels, made by the host's own art_pixels (a Linux build's
# tools/art_pixels, which scripts/windows builds first).
set(TAVRO_HOST_ART_PIXELS "" CACHE FILEPATH "art_pixels built for the build machine")
if(NOT TAVRO_HOST_ART_PIXELS)
  message(FATAL_ERROR "Set TAVRO_HOST_ART_PIXELS to a native art_pixels (scripts/windows does)")
endif()
set(TAVRO_ART_NAMES background.gif tavro.cur about_big.gif about_small.gif pointer.ico)
list(TRANSFORM TAVRO_ART_NAMES PREPEND ${PROJECT_SOURCE_DIR}/src/resources/ OUTPUT_VARIABLE TAVRO_ART)
set(TAVRO_ART_PIXELS ${CMAKE_CURRENT_BINARY_DIR}/generated/ArtPixels.cpp)
add_custom_command(OUTPUT ${TAVRO_ART_PIXELS}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/generated
  COMMAND ${TAVRO_HOST_ART_PIXELS} ${PROJECT_SOURCE_DIR}/src/resources ${TAVRO_ART_PIXELS}
  DEPENDS ${TAVRO_ART}
  COMMENT "Turning the art into ready pixels"
  VERBATIM)
set_source_files_properties(${TAVRO_ART_PIXELS} PROPERTIES COMPILE_OPTIONS -Wno-overlength-strings)

add_library(tavro_program STATIC ${TAVRO_PROGRAM_SOURCES} ${TAVRO_ART_PIXELS})
target_include_directories(tavro_program PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(tavro_program PUBLIC tavro_platform)

# The icon, the version information and the manifest go in as resources.
set(TAVRO_ICON ${CMAKE_CURRENT_BINARY_DIR}/generated/tavro.ico)
set(TAVRO_ICON_SIZES 16 24 32 48 64 256)
list(TRANSFORM TAVRO_ICON_SIZES REPLACE "(.+)" "${PROJECT_SOURCE_DIR}/src/resources/icons/tavro-\\1.png"
  OUTPUT_VARIABLE TAVRO_ICON_PNGS)
add_custom_command(OUTPUT ${TAVRO_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/generated
  COMMAND /usr/bin/convert ${TAVRO_ICON_PNGS} ${TAVRO_ICON}
  DEPENDS ${TAVRO_ICON_PNGS}
  COMMENT "Making the program's icon"
  VERBATIM)
configure_file(${PROJECT_SOURCE_DIR}/src/resources/windows/tavro.rc.in
  ${CMAKE_CURRENT_BINARY_DIR}/generated/tavro.rc @ONLY)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/generated/tavro.rc PROPERTIES
  OBJECT_DEPENDS "${TAVRO_ICON};${PROJECT_SOURCE_DIR}/src/resources/windows/tavro.manifest")

add_executable(tavro WIN32 ${PROJECT_SOURCE_DIR}/src/main.cpp
  ${CMAKE_CURRENT_BINARY_DIR}/generated/tavro.rc)
target_link_libraries(tavro PRIVATE tavro_program)
# Shipped without its debugging information: about 2 MB instead of 15.
target_link_options(tavro PRIVATE -s)

# The zip a user unpacks into the emulator's directory.
set(TAVRO_ZIP ${CMAKE_CURRENT_BINARY_DIR}/tavro-${PROJECT_VERSION}-windows-x64.zip)
add_custom_target(windows_zip
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_CURRENT_BINARY_DIR}/zip ${TAVRO_ZIP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/zip
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tavro> ${CMAKE_CURRENT_BINARY_DIR}/zip/tavro.exe
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/dist/windows/README.txt
    ${CMAKE_CURRENT_BINARY_DIR}/zip/README.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_CURRENT_BINARY_DIR}/zip/LICENSE.txt
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_CURRENT_BINARY_DIR}/zip
    ${CMAKE_COMMAND} -E tar cf ${TAVRO_ZIP} --format=zip tavro.exe README.txt LICENSE.txt
  DEPENDS tavro
  COMMENT "Packing ${TAVRO_ZIP}"
  VERBATIM)

if(TAVRO_TESTS)
  include(cmake/WindowsTests.cmake)
endif()

# The stand-in emulator of the Linux-side tests of tavro.exe under Wine
# (tests/wine), and the plain Win32 window the first paint is measured
# against (bench/windows).
add_executable(morvel_stub WIN32 ${PROJECT_SOURCE_DIR}/tools/morvel_stub.cpp)
target_link_options(morvel_stub PRIVATE -municode)
add_executable(plain_window WIN32 ${PROJECT_SOURCE_DIR}/bench/windows/plain_window.cpp)
target_link_options(plain_window PRIVATE -municode)
target_link_libraries(plain_window PRIVATE user32 gdi32)
