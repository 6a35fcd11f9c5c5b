if(WIN32)
  add_library(installer_main STATIC
    ${CMAKE_CURRENT_LIST_DIR}/entry.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_thread.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup_hooks.cpp)
  target_link_libraries(installer_main PUBLIC installer_utils base)
  foreach(lib ui installer_http installer_telemetry)
    if(TARGET ${lib})
      target_link_libraries(installer_main PUBLIC ${lib})
    endif()
  endforeach()

  # Exactly one dot in the file name: its base names the mutex and the log.
  add_executable(installer WIN32
    ${CMAKE_CURRENT_LIST_DIR}/main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/res/installer.rc
    $<TARGET_OBJECTS:varno_archive_res>)
  set_target_properties(installer PROPERTIES OUTPUT_NAME VarnoSetup)
  target_link_libraries(installer PRIVATE installer_main -municode)

  varno_add_wine_test(NAME installer_main_unittests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/entry_unittest.cpp
    LIBS installer_main)
  add_dependencies(installer_main_unittests installer)
  # Lands beside the test binary, where a search by bare name would find it.
  add_library(varno_planted_library SHARED ${CMAKE_CURRENT_LIST_DIR}/testing/planted_library.cpp)
  set_target_properties(varno_planted_library PROPERTIES PREFIX "" OUTPUT_NAME varno_planted)
  add_dependencies(installer_main_unittests varno_planted_library)
  target_compile_definitions(installer_main_unittests PRIVATE
    VARNO_OBJDUMP="${CMAKE_OBJDUMP}")
endif()

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(varno_pe_kind "PE32+")
  else()
    set(varno_pe_kind "PE32")
  endif()
  add_test(NAME installer_image
           COMMAND ${CMAKE_SOURCE_DIR}/tools/check_exe.sh $<TARGET_FILE:installer> ${CMAKE_OBJDUMP}
                   ${varno_pe_kind})
endif()
