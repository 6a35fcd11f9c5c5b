# The render context and drawing objects (GDI, GDI+, msimg32), and the
# off-screen drawing benchmark.
set(UI_RENDER_DIR ${CMAKE_CURRENT_LIST_DIR})

if(WIN32 AND TARGET ui)
  target_sources(ui PRIVATE
    ${UI_RENDER_DIR}/gdi_bitmap.cpp
    ${UI_RENDER_DIR}/gdi_clip.cpp
    ${UI_RENDER_DIR}/render_gdiplus_objects.cpp
    ${UI_RENDER_DIR}/render_context_gdiplus.cpp)

  varno_add_wine_test(NAME ui_render_unittests
    SOURCES
      ${UI_RENDER_DIR}/render_context_unittest.cpp
      ${UI_RENDER_DIR}/draw_image_unittest.cpp
      ${UI_RENDER_DIR}/render_text_unittest.cpp
    LIBS ui)

  add_executable(render_bench ${CMAKE_SOURCE_DIR}/tools/bench/render_bench.cpp)
  target_link_libraries(render_bench PRIVATE ui)
endif()
