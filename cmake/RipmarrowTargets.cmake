# Helpers shared by every folder's CMakeLists.txt.
#
#   rm_warnings(target)             project warnings, treated as errors
#   rm_library(name [SHARED|STATIC] SOURCES ... LIBS ...)
#   rm_test(name SOURCES ... LIBS ... [ENV k=v ...])   a GoogleTest program in CTest, its cases labelled `name`
#   rm_fuzzer(name SOURCES ... LIBS ...)                a libFuzzer target plus a short CTest run
#   rm_com_server(target)           makes a shared library an in-process COM server
#
# All project code includes headers by their path from the repository root,
# e.g. #include "platform/profile/profile.h".

if(RIPMARROW_FUZZ)
  # Every library is instrumented for coverage, so the fuzzers see the code
  # they exercise; only the fuzz targets link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(RIPMARROW_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(RIPMARROW_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

add_custom_target(fuzzers)

function(rm_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Werror
    $<$<CXX_COMPILER_ID:GNU>:-Wno-interference-size>
    # GCC 12's flow warnings fire on libstdc++'s own inlined code at -O2
    # (vector::insert, string::assign): kept visible, not fatal.
    $<$<CXX_COMPILER_ID:GNU>:-Wno-error=stringop-overflow -Wno-error=restrict -Wno-error=array-bounds -Wno-error=stringop-overread>)
endfunction()

function(rm_library name)
  cmake_parse_arguments(A "SHARED;STATIC;MODULE" "" "SOURCES;LIBS" ${ARGN})
  set(kind STATIC)
  if(A_SHARED)
    set(kind SHARED)
  elseif(A_MODULE)
    set(kind MODULE)
  endif()
  add_library(${name} ${kind} ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PUBLIC ${A_LIBS})
  rm_warnings(${name})
endfunction()

# An in-process COM server library (RM_COM_SERVER_EXPORTS). Every server
# defines the same entry points, DllGetClassObject among them, and
# DllRegisterServer registers the library that holds the DllGetClassObject it
# sees. Without -Bsymbolic that reference may bind to another server loaded
# earlier in the process, which then gets registered under this server's
# classes. Only the entry points are exported; everything else stays hidden.
function(rm_com_server target)
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(${target} PRIVATE -Wl,-Bsymbolic)
endfunction()

function(rm_test name)
  cmake_parse_arguments(A "" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  if(RIPMARROW_FUZZ)
    return()  # the fuzz configuration builds and runs fuzzers only
  endif()
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  rm_warnings(${name})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  # Each test case runs as its own CTest test, discovered when CTest runs, so
  # the build never executes test programs.
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${A_TIMEOUT} LABELS ${name} ENVIRONMENT "RIPMARROW_BUILD_DIR=${PROJECT_BINARY_DIR};${A_ENV}")
endfunction()

# Fuzzers are only built in the clang fuzz configuration. Each also gets a
# short, bounded CTest run over its seed corpus so every test run fuzzes a bit.
function(rm_fuzzer name)
  cmake_parse_arguments(A "" "CORPUS;RUNS" "SOURCES;LIBS" ${ARGN})
  if(NOT RIPMARROW_FUZZ)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  add_dependencies(fuzzers ${name})
  if(NOT A_RUNS)
    set(A_RUNS 20000)
  endif()
  # libFuzzer adds new inputs to the first corpus folder: a scratch folder
  # in the build tree, so the seed corpus in the sources is only read.
  set(scratch ${CMAKE_CURRENT_BINARY_DIR}/${name}.corpus)
  file(MAKE_DIRECTORY ${scratch})
  add_test(NAME fuzz.${name}
    COMMAND ${name} -runs=${A_RUNS} -max_total_time=20 -rss_limit_mb=2048 ${scratch} ${A_CORPUS})
  set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT 120 LABELS fuzz)
endfunction()
