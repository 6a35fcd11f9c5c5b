if(WIN32)
  add_library(installer_utils STATIC ${CMAKE_CURRENT_LIST_DIR}/log.cpp)
  target_link_libraries(installer_utils PUBLIC base bcrypt version shell32 ole32 uuid)
  varno_add_wine_test(NAME installer_utils_unittests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/log_unittest.cpp
    LIBS installer_utils)
else()
  target_sources(varno_portable PRIVATE ${CMAKE_CURRENT_LIST_DIR}/log.cpp)
endif()

