if(WIN32)
  add_library(installer_utils STATIC ${CMAKE_CURRENT_LIST_DIR}/log.cpp)
  target_link_libraries(installer_utils PUBLIC base bcrypt version shell32 ole32 uuid)
  varno_add_wine_test(NAME installer_utils_unittests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/log_unittest.cpp
    LIBS installer_utils)
  # Wine cannot make a symbolic link from Windows code (its
  # CreateSymbolicLinkW makes nothing), but shows a host link to a folder as
  # a reparse point: the logging tests get one beside their binary, made anew
  # before each run.
  set(log_links ${CMAKE_BINARY_DIR}/bin/log_links)
  set(log_links_script ${CMAKE_BINARY_DIR}/make_log_links.cmake)
  file(WRITE ${log_links_script}
       "file(REMOVE_RECURSE \"${log_links}\")\n"
       "file(MAKE_DIRECTORY \"${log_links}/real\")\n"
       "file(CREATE_LINK \"${log_links}/real\" \"${log_links}/linked\" SYMBOLIC)\n")
  add_test(NAME installer_utils_log_links COMMAND ${CMAKE_COMMAND} -P ${log_links_script})
  set_tests_properties(installer_utils_log_links PROPERTIES FIXTURES_SETUP log_links)
  set_tests_properties(installer_utils_unittests PROPERTIES FIXTURES_REQUIRED log_links)
else()
  target_sources(varno_portable PRIVATE ${CMAKE_CURRENT_LIST_DIR}/log.cpp)
endif()

