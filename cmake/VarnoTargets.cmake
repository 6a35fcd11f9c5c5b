# Helpers shared by the libraries' CMake files. Every test runs in the top
# build folder, wherever it is declared.

set(VARNO_TOOLS_DIR ${CMAKE_CURRENT_LIST_DIR}/../tools)

# A GoogleTest executable run under Wine as one CTest test (every Wine start
# costs about a second, so one test per binary rather than per case).
function(varno_add_wine_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT WIN32)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${T_NAME} COMMAND ${VARNO_TOOLS_DIR}/wine-run.sh $<TARGET_FILE:${T_NAME}>
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(${T_NAME} PROPERTIES LABELS "wine;${T_LABELS}" TIMEOUT 300)
endfunction()

# A native GoogleTest executable (sanitizers on), for the portable parsers.
function(varno_add_native_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(WIN32)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(${T_NAME} PROPERTIES LABELS "native" TIMEOUT 600)
endfunction()

# A libFuzzer target (native clang only), run for VARNO_FUZZ_SECONDS from a
# copy of its seed corpus; any crash, leak, hang or sanitizer report fails it.
set(VARNO_FUZZ_SECONDS 30 CACHE STRING "Seconds each fuzz target runs in the test pass")
function(varno_add_fuzzer)
  cmake_parse_arguments(T "" "NAME;CORPUS" "SOURCES;LIBS" ${ARGN})
  if(WIN32 OR NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_compile_options(${T_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} -fsanitize=fuzzer)
  add_test(NAME ${T_NAME}
           COMMAND ${VARNO_TOOLS_DIR}/run-fuzzer.sh $<TARGET_FILE:${T_NAME}> ${T_CORPUS}
                   ${VARNO_FUZZ_SECONDS}
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(${T_NAME} PROPERTIES LABELS "fuzz" TIMEOUT 900)
endfunction()

# Builds the resource archive from |source_dir| (files of |overlay_dir|
# replace or add to it) and an object library with the "ZIP" 133 resource.
function(varno_add_archive target source_dir overlay_dir)
  # Per target: a build may pack the shipped archive and a rebranded one.
  if(target STREQUAL "varno_archive_res")
    set(zip ${CMAKE_BINARY_DIR}/resources.zip)
    set(rc ${CMAKE_BINARY_DIR}/archive.rc)
  else()
    set(zip ${CMAKE_BINARY_DIR}/${target}.zip)
    set(rc ${CMAKE_BINARY_DIR}/${target}.rc)
  endif()
  file(GLOB_RECURSE inputs CONFIGURE_DEPENDS ${source_dir}/*)
  if(overlay_dir)
    file(GLOB_RECURSE overlay_inputs CONFIGURE_DEPENDS ${overlay_dir}/*)
    list(APPEND inputs ${overlay_inputs})
  endif()
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_custom_command(
    OUTPUT ${zip}
    COMMAND Python3::Interpreter ${VARNO_TOOLS_DIR}/make_archive.py --output ${zip}
            --source ${source_dir} "--overlay=${overlay_dir}"
    DEPENDS ${inputs} ${VARNO_TOOLS_DIR}/make_archive.py
    COMMENT "Packing the resource archive")
  file(WRITE ${rc} "133 ZIP \"${zip}\"\n")
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${zip})
  add_library(${target} OBJECT ${rc})
endfunction()

# The installer's libraries are built without exceptions and their unwind
# tables, which were a fifth of the program; only the listed sources throw or
# catch (the HTTP clients' internal error value, a failed allocation for an
# archive member) and keep them. An exception that reaches code built
# without them ends the process, as an uncaught one would anyway.
function(varno_without_exceptions target)
  if(NOT WIN32)
    return()
  endif()
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-asynchronous-unwind-tables)
  if(ARGN)
    set_source_files_properties(${ARGN} TARGET_DIRECTORY ${target}
                                PROPERTIES COMPILE_OPTIONS "-fexceptions;-fasynchronous-unwind-tables")
  endif()
endfunction()

# An executable as it ships: unused sections dropped, a link map beside it
# (<name>.map, read by tools/size_report.py), and stripped, its debug
# information kept in <name>.debug beside it for crash analysis (the image
# names that file in its .gnu_debuglink).
function(varno_ship_executable target)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(name ${target} OUTPUT_NAME)
  get_target_property(dir ${target} RUNTIME_OUTPUT_DIRECTORY)
  if(NOT dir)
    set(dir ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  endif()
  target_link_options(${target} PRIVATE -Wl,--gc-sections -Wl,-Map,${dir}/${name}.map)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${dir}/${name}.debug
    COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE:${target}>
    COMMAND ${CMAKE_OBJCOPY} --add-gnu-debuglink=${dir}/${name}.debug $<TARGET_FILE:${target}>
    WORKING_DIRECTORY ${dir}
    VERBATIM)
endfunction()
