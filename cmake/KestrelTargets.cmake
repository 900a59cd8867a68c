# Helpers shared by every CMakeLists.txt of the tree.

# Strict warnings on the project's own code only; errors where KESTREL_WERROR
# is on (the presets and CI), so a user's newer compiler never breaks a build.
function(kestrel_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
    -Wnon-virtual-dtor -Woverloaded-virtual -Wformat=2)
  if(KESTREL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# kestrel_library(name SOURCES ... [LIBS ...] [SHARED])
function(kestrel_library name)
  cmake_parse_arguments(ARG "SHARED" "" "SOURCES;LIBS" ${ARGN})
  if(ARG_SHARED)
    add_library(${name} SHARED ${ARG_SOURCES})
  else()
    add_library(${name} STATIC ${ARG_SOURCES})
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  kestrel_warnings(${name})
  if(KESTREL_TSAN_ONLY)
    # The thread sanitizer build compiles only what its tests pull in.
    set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL TRUE)
  endif()
endfunction()

# kestrel_test(name SOURCES ... LIBS ... LABELS ... [DEPENDS programs...] [TIMEOUT s])
# One GoogleTest program, registered with CTest under the given labels
# (unit, net, gui, web; tsan marks the threaded tests that the thread
# sanitizer build runs).
function(kestrel_test name)
  if(NOT KESTREL_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;DEPENDS" ${ARGN})
  if(KESTREL_TSAN_ONLY AND NOT "tsan" IN_LIST ARG_LABELS)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  kestrel_warnings(${name})
  if(ARG_DEPENDS)
    # Programs that the test starts.
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "KESTREL_SOURCE_DIR=${PROJECT_SOURCE_DIR};KESTREL_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()

# kestrel_program(name SOURCES ... LIBS ...): a program of the project.
function(kestrel_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Threads::Threads)
  kestrel_warnings(${name})
  if(KESTREL_TSAN_ONLY)
    set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL TRUE)
  endif()
endfunction()

# kestrel_fuzzer(name SOURCES ... LIBS ...): a libFuzzer target fuzz_<name>.
function(kestrel_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(fuzz_${name} ${ARG_SOURCES})
  target_link_libraries(fuzz_${name} PRIVATE ${ARG_LIBS})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(fuzz_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fuzzers)
endfunction()

# kestrel_module(name SOURCES ... [OBJECTS libs...] [LIBS ...] [OUTPUT_NAME n]):
# a module that a program opens with dlopen (viewer/media/program_modules.h),
# built beside the viewer. It holds only its SOURCES and the objects of the
# project's static libraries OBJECTS, and links only the external libraries
# LIBS: every other symbol binds to the program, which links the project's
# libraries whole and exports them (kestrel_program_exports), so no code of
# the program is there twice.
function(kestrel_module name)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME" "SOURCES;OBJECTS;LIBS" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES})
  foreach(lib ${ARG_OBJECTS})
    target_sources(${name} PRIVATE $<TARGET_OBJECTS:${lib}>)
    add_dependencies(${name} ${lib})
  endforeach()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  kestrel_warnings(${name})
  set_target_properties(${name} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/viewer/shell)
  if(ARG_OUTPUT_NAME)
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  endif()
  if(KESTREL_TSAN_ONLY)
    set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL TRUE)
  endif()
endfunction()

# kestrel_program_exports(program libs...): PROGRAM carries every object of
# the project's static libraries LIBS (not only those it calls itself) and
# exports their symbols, for the modules it opens.
# (CMake's $<LINK_LIBRARY:WHOLE_ARCHIVE,...> refuses libraries that also come
# in through other libraries' links, so the archives are named here whole
# first; their later plain mentions then add nothing.)
function(kestrel_program_exports program)
  set(archives)
  foreach(lib ${ARGN})
    list(APPEND archives $<TARGET_FILE:${lib}>)
  endforeach()
  target_link_libraries(${program} PRIVATE
    -Wl,--whole-archive ${archives} -Wl,--no-whole-archive ${ARGN})
  set_target_properties(${program} PROPERTIES ENABLE_EXPORTS ON)
endfunction()
