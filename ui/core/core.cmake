# UI framework core: the skin archive (ZIP reader, resource access) and the
# markup parser. The parsers are portable and also build natively for the
# sanitizer tests and the fuzz targets.
set(UI_CORE_DIR ${CMAKE_CURRENT_LIST_DIR})
set(UI_CORE_PORTABLE_SOURCES
  ${UI_CORE_DIR}/zip_reader.cpp
  ${UI_CORE_DIR}/resource_archive.cpp
  ${UI_CORE_DIR}/markup.cpp
)
set(UI_CORE_PORTABLE_TESTS
  ${UI_CORE_DIR}/zip_reader_unittest.cpp
  ${UI_CORE_DIR}/resource_archive_unittest.cpp
  ${UI_CORE_DIR}/markup_unittest.cpp
)

if(WIN32)
  if(TARGET ui)
    target_sources(ui PRIVATE ${UI_CORE_PORTABLE_SOURCES} ${UI_CORE_DIR}/resource_archive_win.cpp)
    # The settings and string tables in installer_utils read the archive, and
    # the framework logs through installer_utils: the two static libraries
    # depend on each other.
    if(TARGET installer_utils)
      target_link_libraries(installer_utils PUBLIC ui)
    endif()
    varno_add_wine_test(NAME ui_core_unittests
      SOURCES
        ${UI_CORE_PORTABLE_TESTS}
        ${UI_CORE_DIR}/resource_archive_win_unittest.cpp
        $<TARGET_OBJECTS:varno_archive_res>
      LIBS ui)
  endif()
else()
  target_sources(varno_portable PRIVATE ${UI_CORE_PORTABLE_SOURCES})
  varno_add_native_test(NAME ui_core_native_unittests
    SOURCES ${UI_CORE_PORTABLE_TESTS}
    LIBS varno_portable)

  # Seed corpora from the shipped files: the packed archive for the ZIP
  # reader and every markup file for the parser, refreshed at build time.
  set(ui_core_corpus ${CMAKE_BINARY_DIR}/fuzz_corpus)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  file(GLOB_RECURSE ui_core_resource_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*)
  add_custom_command(
    OUTPUT ${ui_core_corpus}/zip_reader/resources.zip
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ui_core_corpus}/zip_reader
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tools/make_archive.py
            --output ${ui_core_corpus}/zip_reader/resources.zip --source ${CMAKE_SOURCE_DIR}/resources
    DEPENDS ${ui_core_resource_files} ${CMAKE_SOURCE_DIR}/tools/make_archive.py
    COMMENT "Packing the ZIP reader's seed corpus")
  add_custom_target(ui_core_zip_corpus DEPENDS ${ui_core_corpus}/zip_reader/resources.zip)

  file(GLOB_RECURSE ui_core_markup_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.xml)
  file(MAKE_DIRECTORY ${ui_core_corpus}/markup)
  foreach(xml ${ui_core_markup_files})
    file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/resources ${xml})
    string(REPLACE "/" "_" flat ${rel})
    configure_file(${xml} ${ui_core_corpus}/markup/${flat} COPYONLY)
  endforeach()
  # A small document that reaches every construct, for a tree without skins.
  file(WRITE ${ui_core_corpus}/markup/constructs.xml
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- comment -->\n"
    "<Window size=\"640,360\" caption=\"0,0,0,36\">\n"
    "  <Class name=\"btn\" _value=\"5\" normalimage=\"file='a.png' corner='2,2,2,2'\"/>\n"
    "  <VBox>text &amp; more<Label text=\"&lt;a&gt; &amp; &quot;b&quot; &apos;c&apos;\"/>\n"
    "    <Control />\n  </VBox>\n</Window>\n")

  # The parsers are compiled into each fuzz target as well, so that they
  # carry libFuzzer's coverage instrumentation (varno_portable does not).
  varno_add_fuzzer(NAME zip_reader_fuzz
    SOURCES ${UI_CORE_DIR}/zip_reader_fuzz.cpp ${UI_CORE_PORTABLE_SOURCES}
    LIBS varno_portable
    CORPUS ${ui_core_corpus}/zip_reader)
  varno_add_fuzzer(NAME markup_fuzz
    SOURCES ${UI_CORE_DIR}/markup_fuzz.cpp ${UI_CORE_PORTABLE_SOURCES}
    LIBS varno_portable
    CORPUS ${ui_core_corpus}/markup)
  if(TARGET zip_reader_fuzz)
    add_dependencies(zip_reader_fuzz ui_core_zip_corpus)
  endif()
endif()
