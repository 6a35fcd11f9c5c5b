if(WIN32)
  add_library(installer_utils STATIC ${CMAKE_CURRENT_LIST_DIR}/log.cpp)
  target_link_libraries(installer_utils PUBLIC base)
  varno_add_wine_test(NAME installer_log_unittests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/log_unittest.cpp
    LIBS installer_utils)
else()
  target_sources(varno_portable PRIVATE ${CMAKE_CURRENT_LIST_DIR}/log.cpp)
endif()
