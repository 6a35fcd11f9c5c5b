# Settings and languages: the settings-file grammar (IniFile), the product
# settings and the language catalogue with the process-wide string table.
set(SETTINGS_DIR ${CMAKE_CURRENT_LIST_DIR})
set(SETTINGS_PORTABLE_SOURCES
  ${SETTINGS_DIR}/ini_file.cpp
  ${SETTINGS_DIR}/language.cpp
)
set(SETTINGS_PORTABLE_TESTS
  ${SETTINGS_DIR}/ini_file_unittest.cpp
  ${SETTINGS_DIR}/language_unittest.cpp
  ${SETTINGS_DIR}/string_tables_unittest.cpp
)

if(WIN32)
  if(TARGET installer_utils)
    target_sources(installer_utils PRIVATE ${SETTINGS_PORTABLE_SOURCES} ${SETTINGS_DIR}/product_settings.cpp)
    # installer_utils reaches the archive through the ui library, which
    # ui/core/core.cmake links to it.
    varno_add_wine_test(NAME installer_settings_unittests
      SOURCES
        ${SETTINGS_PORTABLE_TESTS}
        ${SETTINGS_DIR}/product_settings_unittest.cpp
        $<TARGET_OBJECTS:varno_archive_res>
      LIBS installer_utils)
  endif()
else()
  target_sources(varno_portable PRIVATE ${SETTINGS_PORTABLE_SOURCES})
  varno_add_native_test(NAME installer_settings_native_unittests
    SOURCES ${SETTINGS_PORTABLE_TESTS}
    LIBS varno_portable)
  if(TARGET installer_settings_native_unittests)
    # Natively the string tables are read from the source tree.
    target_compile_definitions(installer_settings_native_unittests PRIVATE
      VARNO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  endif()

  # Seed corpus: every shipped settings file, one file per path.
  set(settings_corpus ${CMAKE_BINARY_DIR}/fuzz_corpus/ini_file)
  file(MAKE_DIRECTORY ${settings_corpus})
  file(GLOB_RECURSE settings_ini_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.ini)
  foreach(ini ${settings_ini_files})
    file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/resources ${ini})
    string(REPLACE "/" "_" flat ${rel})
    configure_file(${ini} ${settings_corpus}/${flat} COPYONLY)
  endforeach()
  varno_add_fuzzer(NAME ini_file_fuzz
    # Compiled in again for libFuzzer's coverage instrumentation.
    SOURCES ${SETTINGS_DIR}/ini_file_fuzz.cpp ${SETTINGS_DIR}/ini_file.cpp
            ${CMAKE_SOURCE_DIR}/ui/core/resource_archive.cpp
    LIBS varno_portable
    CORPUS ${settings_corpus})
endif()
