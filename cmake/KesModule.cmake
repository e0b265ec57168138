# Modules: one static library per folder, named kes_<name>.
#
#   kes_module(<name> DEPS <module>... [LIBS <library>...])
#
# Called from the module folder's CMakeLists.txt. Its sources are every .cpp of the folder; its
# tests are every *_test.cpp of the folder's mirror under tests/ and become the executable
# <name>_tests. DEPS names the modules whose headers the folder includes; they are resolved once
# every folder has been read, and the configure step fails when they form a cycle or name a
# module that does not exist.

define_property(GLOBAL PROPERTY KES_MODULES BRIEF_DOCS "modules" FULL_DOCS "all kes modules")

function(kes_module name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "DEPS;LIBS")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kes_module(${name}): unexpected arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  get_property(known GLOBAL PROPERTY KES_MODULES)
  if(name IN_LIST known)
    message(FATAL_ERROR "kes_module(${name}): a module of that name exists already")
  endif()
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB tests CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${folder}/*_test.cpp)
  # A service with two implementations has <topic>_win32.cpp for Windows and <topic>_posix.cpp
  # for every other host; the build takes the one of its target.
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
    list(FILTER tests EXCLUDE REGEX "_posix_test\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
    list(FILTER tests EXCLUDE REGEX "_win32_test\\.cpp$")
  endif()
  set_property(GLOBAL APPEND PROPERTY KES_MODULES ${name})
  set_property(GLOBAL PROPERTY KES_MODULE_${name}_FOLDER ${folder})
  set_property(GLOBAL PROPERTY KES_MODULE_${name}_DEPS ${arg_DEPS})
  set_property(GLOBAL PROPERTY KES_MODULE_${name}_TESTS ${tests})
  if(NOT sources)
    return()
  endif()
  add_library(kes_${name} STATIC ${sources})
  target_include_directories(kes_${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
  # Test and fuzz builds get the test hooks (counted allocations, memory that runs out on cue).
  target_compile_definitions(kes_${name} PUBLIC $<$<OR:$<BOOL:${KES_BUILD_TESTS}>,$<BOOL:${KES_FUZZ}>>:KES_TESTING>)
  kes_apply_warnings(kes_${name})
  if(arg_LIBS)
    target_link_libraries(kes_${name} PUBLIC ${arg_LIBS})
  endif()
endfunction()

# Depth-first walk of the module graph from `name`; `path` is the chain of modules that led here.
# A module met again while its own walk is open closes a cycle, which fails the configure step.
function(_kes_walk_module name path)
  get_property(state GLOBAL PROPERTY KES_MODULE_${name}_WALK)
  if(state STREQUAL "done")
    return()
  endif()
  list(APPEND path ${name})
  if(state STREQUAL "open")
    list(FIND path ${name} first)
    list(SUBLIST path ${first} -1 cycle)
    list(JOIN cycle " -> " text)
    message(FATAL_ERROR "Module dependency cycle: ${text}\n"
                        "Modules must form layers: move the shared part down, or let the lower "
                        "module reach the higher one through a hook it registers.")
  endif()
  set_property(GLOBAL PROPERTY KES_MODULE_${name}_WALK open)
  get_property(modules GLOBAL PROPERTY KES_MODULES)
  get_property(deps GLOBAL PROPERTY KES_MODULE_${name}_DEPS)
  foreach(dep IN LISTS deps)
    if(NOT dep IN_LIST modules)
      message(FATAL_ERROR "Module ${name} depends on ${dep}, which is no module")
    endif()
    _kes_walk_module(${dep} "${path}")
  endforeach()
  set_property(GLOBAL PROPERTY KES_MODULE_${name}_WALK done)
endfunction()

# Fails the configure step when the modules' DEPS form a cycle or name an unknown module.
function(kes_check_module_graph)
  get_property(modules GLOBAL PROPERTY KES_MODULES)
  foreach(name IN LISTS modules)
    _kes_walk_module(${name} "")
  endforeach()
endfunction()

# The module targets that `name` links: its dependencies that have sources, and through those
# that have none, theirs.
function(_kes_link_targets name out)
  set(targets)
  get_property(deps GLOBAL PROPERTY KES_MODULE_${name}_DEPS)
  foreach(dep IN LISTS deps)
    if(TARGET kes_${dep})
      list(APPEND targets kes_${dep})
    else()
      _kes_link_targets(${dep} below)
      list(APPEND targets ${below})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES targets)
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Links the modules with each other and whole-archives them into the shared library k55run.
function(kes_link_library)
  kes_check_module_graph()
  get_property(modules GLOBAL PROPERTY KES_MODULES)
  set(present)
  foreach(name IN LISTS modules)
    if(NOT TARGET kes_${name})
      continue()
    endif()
    list(APPEND present kes_${name})
    _kes_link_targets(${name} targets)
    if(targets)
      target_link_libraries(kes_${name} PUBLIC ${targets})
    endif()
  endforeach()

  # Every module, for programs inside the project that need internal functions (benchmarks,
  # fuzzers).
  add_library(kes_all INTERFACE)
  target_link_libraries(kes_all INTERFACE ${present})

  # The library's own entry (what runs at load and unload) belongs to the shared library itself,
  # not to a module, and is linked first, ahead of the modules.
  add_library(k55run SHARED ${PROJECT_SOURCE_DIR}/runtime/entry/library_entry.cpp)
  target_include_directories(k55run PUBLIC ${PROJECT_SOURCE_DIR}/include)
  kes_apply_warnings(k55run)
  set(archives)
  foreach(target IN LISTS present)
    list(APPEND archives $<TARGET_FILE:${target}>)
  endforeach()
  # The archives whole, then the modules again for their own external libraries.
  target_link_libraries(k55run PRIVATE -Wl,--whole-archive ${archives} -Wl,--no-whole-archive
                        kes_all)
  if(present)
    add_dependencies(k55run ${present})
  endif()
  if(WIN32)
    # k55run.dll exports exactly the declared names, undecorated, through a module-definition
    # file made from the public headers; its import library comes from the same file.
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    file(GLOB_RECURSE public_headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/include/kestrel/*.h)
    set(def_file ${CMAKE_CURRENT_BINARY_DIR}/k55run.def)
    add_custom_command(
      OUTPUT ${def_file}
      COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/cmake/make_def.py
              ${PROJECT_SOURCE_DIR}/include/kestrel ${def_file}
      DEPENDS ${PROJECT_SOURCE_DIR}/cmake/make_def.py ${PROJECT_SOURCE_DIR}/cmake/check_exports.py
              ${public_headers}
      VERBATIM)
    add_custom_target(k55run_def DEPENDS ${def_file})
    add_dependencies(k55run k55run_def)
    set_target_properties(k55run PROPERTIES PREFIX "" OUTPUT_NAME k55run IMPORT_PREFIX ""
                                            IMPORT_SUFFIX ".lib")
    target_link_options(k55run PRIVATE ${def_file} -Wl,--kill-at -Wl,--no-undefined)
    set_property(TARGET k55run APPEND PROPERTY LINK_DEPENDS ${def_file})
  else()
    target_link_options(k55run PRIVATE
      -Wl,--version-script=${PROJECT_SOURCE_DIR}/kestrel.map -Wl,--no-undefined)
    set_property(TARGET k55run APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/kestrel.map)
  endif()
  if(KES_FUZZ)
    # Fuzz builds link the modules into each target; clang's sanitizer runtimes do not go into
    # shared libraries.
    set_target_properties(k55run PROPERTIES EXCLUDE_FROM_ALL ON)
  endif()
endfunction()

# Adds one test executable per module that has tests.
function(kes_module_tests)
  get_property(modules GLOBAL PROPERTY KES_MODULES)
  foreach(name IN LISTS modules)
    get_property(tests GLOBAL PROPERTY KES_MODULE_${name}_TESTS)
    if(NOT tests OR NOT TARGET kes_${name})
      continue()
    endif()
    add_executable(${name}_tests ${tests})
    target_link_libraries(${name}_tests PRIVATE kes_${name} kes_test_support GTest::gmock
                          GTest::gtest_main)
    kes_apply_warnings(${name}_tests)
    kes_add_gtest(${name}_tests)
  endforeach()
endfunction()

# Registers a GoogleTest executable with ctest: one ctest test per test case, listed when the
# tests run, or with KES_TEST_WHOLE_EXECUTABLES one ctest test that runs the whole executable.
function(kes_add_gtest target)
  if(KES_TEST_WHOLE_EXECUTABLES)
    add_test(NAME ${target} COMMAND ${target} --gtest_brief=1)
    set_tests_properties(${target} PROPERTIES TIMEOUT 900)
  elseif(CMAKE_CROSSCOMPILING)
    # Under an emulator each start costs more; listing the tests may take a while.
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 300
                         PROPERTIES TIMEOUT 120)
  else()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES TIMEOUT 120)
  endif()
endfunction()

# Leaves test files out of every module's test executable (tests that need a peer library the
# target lacks). Call before kes_module_tests().
function(kes_exclude_tests)
  get_property(modules GLOBAL PROPERTY KES_MODULES)
  foreach(name IN LISTS modules)
    get_property(tests GLOBAL PROPERTY KES_MODULE_${name}_TESTS)
    foreach(file IN LISTS ARGN)
      list(FILTER tests EXCLUDE REGEX "/${file}$")
    endforeach()
    set_property(GLOBAL PROPERTY KES_MODULE_${name}_TESTS ${tests})
  endforeach()
endfunction()
