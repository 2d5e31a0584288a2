# Shared build settings: warnings, floating point and the test helpers.

set(QUARRION_SANITIZE "" CACHE STRING "address, thread or empty")

# The 32-bit Windows build is the x87 dialog program. x86-64 has SSE2 in its
# calling convention, so the 64-bit Windows build uses it as the native one does.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(QUARRION_X87 ON)
else()
  set(QUARRION_X87 OFF)
endif()

# The one version, from project(), for every program and package that shows it.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${PROJECT_BINARY_DIR}/generated/quarrion_version.h
               @ONLY)

# Our own targets only: third-party code (googletest) keeps its own warnings.
function(quarrion_settings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Werror)
  # The two passes of a worker must round identically: no contraction into FMA.
  target_compile_options(${target} PRIVATE -ffp-contract=off)
  if(QUARRION_X87)
    # The program promises that no worker executes MMX or SSE instructions, so
    # its own code is plain i686 with x87 arithmetic. Both passes run the same
    # out-of-line code, so excess precision treats them alike.
    target_compile_options(${target} PRIVATE -march=i686 -mfpmath=387 -mno-mmx -mno-sse)
  endif()
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
endfunction()

if(QUARRION_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(QUARRION_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread)
  add_link_options(-fsanitize=thread)
endif()

if(WIN32)
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# Debian's hardening for the packaged Linux program: checked string and memory
# calls, and relocations bound at start and then read-only.
if(NOT WIN32 AND QUARRION_SANITIZE STREQUAL "")
  add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  add_link_options(-Wl,-z,relro,-z,now)
endif()

macro(quarrion_find_gtest)
  if(WIN32 AND CMAKE_CROSSCOMPILING)
    # Debian ships the googletest sources; build them with the cross compiler.
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # googletest 1.12 defines the GTest:: aliases itself.
  else()
    find_package(GTest REQUIRED)
  endif()
endmacro()

# One ctest test per executable. Under Wine every test needs the prefix and the
# shared wineserver that the wine fixture sets up and shuts down.
function(quarrion_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  quarrion_settings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  if(WIN32)
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(WIN32 AND CMAKE_CROSSCOMPILING)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
endfunction()

# Tests that run for long (10 s or more, the soak, the thousand Start/Stop
# cycles) carry the ctest label `long`: `ctest --preset P -LE long` is the quick
# loop, a plain `ctest --preset P` runs everything. This splits the cases of a
# test program that match `pattern` (a gtest filter) into their own ctest test,
# NAME_long, and leaves them out of NAME.
function(quarrion_long_cases name pattern)
  get_test_property(${name} TIMEOUT timeout)
  add_test(NAME ${name}_long COMMAND ${name} --gtest_filter=${pattern})
  set_tests_properties(${name}_long PROPERTIES LABELS long TIMEOUT ${timeout})
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "GTEST_FILTER=-${pattern}")
  if(WIN32 AND CMAKE_CROSSCOMPILING)
    set_tests_properties(${name}_long PROPERTIES FIXTURES_REQUIRED wine)
  endif()
endfunction()
