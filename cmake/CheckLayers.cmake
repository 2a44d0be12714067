# The test layers.platform_includes: the platform (src/platform) cannot
# include the program, its window layer cannot include the forms runtime, the
# system services include neither Qt nor a window, Qt stays inside the forms
# runtime's qt/ folder and the window layer (the program and the forms
# runtime's public headers are plain C++, and every program header compiles
# without Qt's include paths), the program does not use the hooks for tests,
# and every source file is in the library of its layer.
#   cmake -DCXX=<compiler> -DINCLUDES=<dir|dir|...> -DSOURCE_DIR=<repo>
#         -DPROGRAM_INCLUDES=<dir|dir|...>
#         -DPLATFORM_SOURCES=<file|file|...> -DPROGRAM_SOURCES=<file|file|...>
#         -DSYSTEM_SOURCES=<file|file|...> -P CheckLayers.cmake
cmake_minimum_required(VERSION 3.25)

# 1. With the platform's include directories a program header is not found,
#    while the platform's own headers are.
string(REPLACE "|" ";" include_dirs "${INCLUDES}")
list(TRANSFORM include_dirs PREPEND -I)
set(probe ${SOURCE_DIR}/cmake/layers/platform_includes_program.cpp)
execute_process(COMMAND ${CXX} -std=c++20 -fsyntax-only ${include_dirs} ${probe}
  RESULT_VARIABLE compiled OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(compiled EQUAL 0)
  message(FATAL_ERROR "the platform's include directories reach the program:\n${output}")
endif()
if(output MATCHES "platform/win32\\.h'?:? ?(No such file|file not found)")
  message(FATAL_ERROR "the platform's include directories miss its own headers:\n${output}")
endif()
if(NOT output MATCHES "launcher/Form1\\.h'?:? ?(No such file|file not found)")
  message(FATAL_ERROR "the probe failed for another reason than a missing header:\n${output}")
endif()

# 2. No include of the platform goes around its include root: every quoted
#    include names a file under platform/, without "..".
file(GLOB_RECURSE sources ${SOURCE_DIR}/src/platform/*.cpp ${SOURCE_DIR}/src/platform/*.h)
set(bad)
foreach(source IN LISTS sources)
  file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    if(NOT line MATCHES "\"platform/" OR line MATCHES "\\.\\.")
      file(RELATIVE_PATH name ${SOURCE_DIR} ${source})
      list(APPEND bad "${name}: ${line}")
    endif()
  endforeach()
endforeach()
if(bad)
  list(JOIN bad "\n" bad)
  message(FATAL_ERROR "platform includes outside platform/:\n${bad}")
endif()

# Fails, naming each file and line, when a line of any of the files matches
# `regex` but not `allowed` (an empty `allowed` lets nothing through).
function(reject_lines files regex allowed what)
  set(bad)
  foreach(source IN LISTS files)
    file(STRINGS ${source} lines REGEX "${regex}")
    foreach(line IN LISTS lines)
      if(allowed STREQUAL "" OR NOT line MATCHES "${allowed}")
        file(RELATIVE_PATH name ${SOURCE_DIR} ${source})
        list(APPEND bad "${name}: ${line}")
      endif()
    endforeach()
  endforeach()
  if(bad)
    list(JOIN bad "\n" bad)
    message(FATAL_ERROR "${what}:\n${bad}")
  endif()
endfunction()

# Fails when any of the files includes a header whose quoted include line
# matches the pattern.
function(reject_includes files pattern what)
  reject_lines("${files}" "^[ \t]*#[ \t]*include[ \t]*\"${pattern}" "" "${what}")
endfunction()

# 3. The window layer (src/platform, outside forms/) stands below the forms
#    runtime and never includes it.
file(GLOB window_layer ${SOURCE_DIR}/src/platform/*.cpp ${SOURCE_DIR}/src/platform/*.h)
reject_includes("${window_layer}" "platform/forms/" "the window layer includes the forms runtime")

# 3b. The system services (src/platform/system) know no Qt and no window:
#     only the standard library, the system's own headers, win32.h's types and
#     each other.
file(GLOB_RECURSE system_layer ${SOURCE_DIR}/src/platform/system/*.cpp
  ${SOURCE_DIR}/src/platform/system/*.h)
reject_lines("${system_layer}"
  "(^[ \t]*#[ \t]*include[ \t]*(<Q|\"platform/)|Q_OBJECT)"
  "^[ \t]*#[ \t]*include[ \t]*\"platform/(system/|win32\\.h|testing\\.h)"
  "the system services include Qt or a window")

# 3c. Qt stays behind the forms runtime's public headers: the program's own
#     folders and the forms runtime outside qt/ neither include a Qt header
#     nor declare a Qt object.
set(qt_use "(^[ \t]*#[ \t]*include[ \t]*<Q|Q_OBJECT)")
file(GLOB_RECURSE program ${SOURCE_DIR}/src/*.cpp ${SOURCE_DIR}/src/*.h)
list(FILTER program EXCLUDE REGEX "/src/platform/")
reject_lines("${program}" "${qt_use}" "" "the program uses Qt")
file(GLOB forms_public ${SOURCE_DIR}/src/platform/forms/*.cpp ${SOURCE_DIR}/src/platform/forms/*.h
  ${SOURCE_DIR}/src/platform/forms/win32/*.cpp ${SOURCE_DIR}/src/platform/forms/win32/*.h)
reject_lines("${forms_public}" "${qt_use}" "" "the forms runtime uses Qt outside qt/")

# 3d. Every program header, and every public header of the forms runtime,
#     compiles with the program's include directories alone: no Qt path.
string(REPLACE "|" ";" program_dirs "${PROGRAM_INCLUDES}")
list(TRANSFORM program_dirs PREPEND -I)
file(GLOB_RECURSE headers ${SOURCE_DIR}/src/*.h)
list(FILTER headers EXCLUDE REGEX "/src/platform/(forms/(qt|win32)|system)/|/src/platform/[^/]*\\.h$")
set(bad)
foreach(header IN LISTS headers)
  execute_process(COMMAND ${CXX} -std=c++20 -fsyntax-only -x c++ ${program_dirs} ${header}
    RESULT_VARIABLE compiled OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT compiled EQUAL 0)
    file(RELATIVE_PATH name ${SOURCE_DIR} ${header})
    list(APPEND bad "${name}:\n${output}")
  endif()
endforeach()
if(bad)
  list(JOIN bad "\n" bad)
  message(FATAL_ERROR "headers that do not compile without Qt:\n${bad}")
endif()

# 4. The hooks for tests (platform/testing.h, platform/forms/Testing.h) are for
#    tests and benchmarks: the program's own folders never include them.
reject_includes("${program}" "platform/(forms/Testing|testing)\\.h\"" "the program includes the hooks for tests")

# 5. The libraries list their sources by hand: a file under src/ that no list
#    names would not be built, and a platform file listed for the program (or
#    the other way round) would sit in the wrong layer.
string(REPLACE "|" ";" platform_sources "${PLATFORM_SOURCES}")
string(REPLACE "|" ";" program_sources "${PROGRAM_SOURCES}")
string(REPLACE "|" ";" system_sources "${SYSTEM_SOURCES}")
file(GLOB_RECURSE all RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/src/*.cpp ${SOURCE_DIR}/src/*.h)
list(REMOVE_ITEM all src/main.cpp)
foreach(name IN LISTS all)
  if(name MATCHES "^src/platform/system/")
    set(own system_sources)
  elseif(name MATCHES "^src/platform/")
    set(own platform_sources)
  else()
    set(own program_sources)
  endif()
  if(NOT name IN_LIST ${own})
    list(APPEND bad "${name} is not in the ${own} list of CMakeLists.txt")
  endif()
endforeach()
if(bad)
  list(JOIN bad "\n" bad)
  message(FATAL_ERROR "source lists:\n${bad}")
endif()
