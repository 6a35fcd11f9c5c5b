# DPI scaling, image descriptors, decoded images and their cache, and the
# framework's global resources (fonts, colours, classes, the global skin).
# The descriptor parser is portable and also builds natively for the
# sanitizer test and its fuzz target.
set(UI_IMAGE_DIR ${CMAKE_CURRENT_LIST_DIR})
set(UI_ROOT_DIR ${CMAKE_CURRENT_LIST_DIR}/..)

if(WIN32)
  if(TARGET ui)
    target_sources(ui PRIVATE
      ${UI_IMAGE_DIR}/image_descriptor.cpp
      ${UI_IMAGE_DIR}/image_info.cpp
      ${UI_IMAGE_DIR}/image.cpp
      ${UI_ROOT_DIR}/utils/dpi_scaler.cpp
      ${UI_ROOT_DIR}/utils/gdiplus_session.cpp
      ${UI_ROOT_DIR}/core/global_resources.cpp
      ${UI_ROOT_DIR}/core/global_skin.cpp)
    varno_add_wine_test(NAME ui_image_unittests
      SOURCES
        ${UI_IMAGE_DIR}/image_descriptor_unittest.cpp
        ${UI_IMAGE_DIR}/image_info_unittest.cpp
        ${UI_ROOT_DIR}/core/global_resources_unittest.cpp
        $<TARGET_OBJECTS:varno_archive_res>
      LIBS ui)
    target_compile_definitions(ui_image_unittests PRIVATE
      VARNO_IMAGE_TESTDATA="${UI_IMAGE_DIR}/testing")

    add_executable(image_bench ${CMAKE_SOURCE_DIR}/tools/bench/image_bench.cpp $<TARGET_OBJECTS:varno_archive_res>)
    target_link_libraries(image_bench PRIVATE ui -municode)
  endif()
else()
  target_sources(varno_portable PRIVATE ${UI_IMAGE_DIR}/image_descriptor.cpp)
  varno_add_native_test(NAME ui_image_native_unittests
    SOURCES ${UI_IMAGE_DIR}/image_descriptor_unittest.cpp
    LIBS varno_portable)

  set(ui_image_corpus ${CMAKE_BINARY_DIR}/fuzz_corpus/image_descriptor)
  file(MAKE_DIRECTORY ${ui_image_corpus})
  # Seeds: a scale byte, then the descriptor in UTF-16LE, as the target reads.
  file(GLOB ui_image_seeds ${UI_IMAGE_DIR}/testing/fuzz_seeds/*)
  foreach(seed ${ui_image_seeds})
    get_filename_component(seed_name ${seed} NAME)
    configure_file(${seed} ${ui_image_corpus}/${seed_name} COPYONLY)
  endforeach()
  varno_add_fuzzer(NAME image_descriptor_fuzz
    SOURCES ${UI_IMAGE_DIR}/image_descriptor_fuzz.cpp ${UI_IMAGE_DIR}/image_descriptor.cpp
    LIBS varno_portable
    CORPUS ${ui_image_corpus})
endif()
