# Build modes. One source tree is configured three times (see the Makefile):
#   host    native tools (packer, layout compiler) and native tests, with the machine's g++
#   i686    the shipped program, build/i686/setup.exe
#   x86_64  the same program for the tests, build/x86_64/setup.exe, the Wine tests, and the
#           one ctest tree that runs every test of all three (native tests by their host paths)
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(KBD_TARGET ON)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(KBD_MODE x86_64)
  else()
    set(KBD_MODE i686)
  endif()
else()
  set(KBD_TARGET OFF)
  set(KBD_MODE host)
endif()

# The tree that registers tests. Only the x86_64 tree runs Windows code under Wine.
set(KBD_TEST_TREE OFF)
if(KBD_MODE STREQUAL "x86_64")
  set(KBD_TEST_TREE ON)
  if(NOT KBD_HOST_DIR)
    message(FATAL_ERROR "KBD_HOST_DIR must name the host build (see the Makefile)")
  endif()
endif()

set(KBD_SCRIPTS ${PROJECT_SOURCE_DIR}/scripts)
set(KBD_WINE_TEMPLATE ${CMAKE_BINARY_DIR}/wine/template)

# A native GoogleTest program. Built in the host tree; the x86_64 tree registers it by its path.
#   kbd_native_test(NAME SOURCES src... [LIBS lib...] [ARGS arg...])
function(kbd_native_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ARGS" ${ARGN})
  if(KBD_MODE STREQUAL "host")
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
    kbd_warnings(${name})
  elseif(KBD_TEST_TREE)
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    add_test(NAME native.${name} COMMAND ${KBD_HOST_DIR}/${rel}/${name} ${T_ARGS})
    set_tests_properties(native.${name} PROPERTIES TIMEOUT 600 LABELS native)
  endif()
endfunction()

# A GoogleTest program built for x86_64 and run under Wine in a fresh prefix of its own.
#   kbd_wine_test(NAME SOURCES src... [LIBS lib...] [TIMEOUT seconds])
function(kbd_wine_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT KBD_TEST_TREE)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  target_link_options(${name} PRIVATE -static)
  kbd_warnings(${name})
  kbd_add_wine_command(wine.${name} ${T_TIMEOUT} $<TARGET_FILE:${name}>)
endfunction()

# A test script (bash) run under Wine with WINE, WINEPREFIX and DISPLAY set by the harness.
#   kbd_wine_script_test(NAME SCRIPT [TIMEOUT seconds] [ARGS arg...])
function(kbd_wine_script_test name script)
  cmake_parse_arguments(T "" "TIMEOUT" "ARGS" ${ARGN})
  if(NOT KBD_TEST_TREE)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  kbd_add_wine_command(wine.${name} ${T_TIMEOUT} bash ${script} ${T_ARGS})
endfunction()

function(kbd_add_wine_command test_name limit)
  add_test(NAME ${test_name}
           COMMAND ${KBD_SCRIPTS}/wine-run.sh --timeout ${limit} -- ${ARGN})
  # ctest's own limit is a backstop only; wine-run.sh ends the run first and says why.
  math(EXPR backstop "${limit} + 60")
  set_tests_properties(${test_name} PROPERTIES
    TIMEOUT ${backstop}
    FIXTURES_REQUIRED wine_template
    LABELS wine
    ENVIRONMENT "KBD_WINE_TEMPLATE=${KBD_WINE_TEMPLATE};KBD_SOURCE_DIR=${PROJECT_SOURCE_DIR};KBD_BUILD_DIR=${CMAKE_BINARY_DIR};KBD_HOST_DIR=${KBD_HOST_DIR};KBD_I686_DIR=${KBD_I686_DIR}")
endfunction()

# A plain script test, run natively from the x86_64 tree (static checks and the like).
#   kbd_script_test(NAME COMMAND...)
function(kbd_script_test name)
  if(NOT KBD_TEST_TREE)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${ARGN})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300 LABELS static
    ENVIRONMENT "KBD_SOURCE_DIR=${PROJECT_SOURCE_DIR};KBD_BUILD_DIR=${CMAKE_BINARY_DIR};KBD_HOST_DIR=${KBD_HOST_DIR};KBD_I686_DIR=${KBD_I686_DIR}")
endfunction()

function(kbd_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# A store packed from a fixture manifest for Wine tests: packed in the host tree, turned into the
# library NAME in the x86_64 tree, at the same relative place in both.
#   kbd_fixture_store(NAME MANIFEST [DEFINE name=value...] [DEPENDS target...])
function(kbd_fixture_store name manifest)
  cmake_parse_arguments(F "" "" "DEFINE;DEPENDS" ${ARGN})
  if(KBD_MODE STREQUAL "host")
    # Test stores need no best ratio: zlib alone keeps the build fast.
    kbd_pack_store(${name} ${manifest} ${CMAKE_CURRENT_BINARY_DIR}/${name} FAST
      DEFINE ${F_DEFINE} DEPENDS ${F_DEPENDS})
  elseif(KBD_TEST_TREE)
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    set(packed ${KBD_HOST_DIR}/${rel}/${name})
    kbd_store_library(${name} ${packed}/store.cpp ${packed}/store.bin)
  endif()
endfunction()
