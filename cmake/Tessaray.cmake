# Shared build settings for every Tessaray target.

set(TESSARAY_WARNINGS -Wall -Wextra -Wpedantic -Werror -Wno-missing-field-initializers)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # GCC 12 reports impossible overlaps inside std::string and out-of-bounds writes inside std::variant's
  # copy at -O3 (known false positives of -Wrestrict and -Wstringop-overflow).
  list(APPEND TESSARAY_WARNINGS -Wno-restrict -Wno-stringop-overflow)
endif()

set(TESSARAY_SANITIZER_FLAGS)
if(TESSARAY_SANITIZE AND TESSARAY_TSAN)
  message(FATAL_ERROR "TESSARAY_SANITIZE and TESSARAY_TSAN exclude each other: use two build folders")
endif()
if(TESSARAY_TSAN)
  set(TESSARAY_SANITIZER_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
elseif(TESSARAY_SANITIZE)
  set(TESSARAY_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
                               -fno-omit-frame-pointer)
endif()

# tessaray_target(<target>): warnings as errors and the sanitizers when enabled.
function(tessaray_target target)
  target_compile_options(${target} PRIVATE ${TESSARAY_WARNINGS} ${TESSARAY_SANITIZER_FLAGS})
  if(TESSARAY_SANITIZER_FLAGS)
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "STATIC_LIBRARY" AND NOT type STREQUAL "OBJECT_LIBRARY")
      target_link_options(${target} PRIVATE ${TESSARAY_SANITIZER_FLAGS})
    endif()
  endif()
endfunction()

# ThreadSanitizer's defaults for the test programs: the suppressions of scripts/tsan.supp (the one list, read
# here) and stopping at the first report.
if(TESSARAY_TSAN)
  file(READ ${CMAKE_SOURCE_DIR}/scripts/tsan.supp TESSARAY_TSAN_SUPPRESSIONS)
  set(TESSARAY_TSAN_DEFAULTS_SOURCE ${CMAKE_BINARY_DIR}/TsanDefaults.cpp)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/TsanDefaults.cpp.in ${TESSARAY_TSAN_DEFAULTS_SOURCE} @ONLY)
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                                                      ${CMAKE_SOURCE_DIR}/scripts/tsan.supp)
endif()

# tessaray_test(<name> SOURCES ... LIBS ... [ENVIRONMENT ...]): a GoogleTest executable under ctest.
function(tessaray_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENVIRONMENT;LABELS" ${ARGN})
  if(NOT TESSARAY_TESTS)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  tessaray_target(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  # Empty values would vanish from the list and shift the pairs, so only set properties is given.
  set(properties)
  if(TESSARAY_TSAN)
    # The suppressions are built into the tests, so a plain `ctest` in the ThreadSanitizer folder needs
    # nothing from the environment.
    target_sources(${name} PRIVATE ${TESSARAY_TSAN_DEFAULTS_SOURCE})
  endif()
  if(T_ENVIRONMENT)
    list(APPEND properties ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
  if(T_LABELS)
    list(APPEND properties LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
endfunction()
