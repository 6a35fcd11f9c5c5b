if(WIN32)
  add_library(installer_utils STATIC ${CMAKE_CURRENT_LIST_DIR}/log.cpp ${CMAKE_CURRENT_LIST_DIR}/public_fun.cpp)
  target_link_libraries(installer_utils PUBLIC base bcrypt version shell32 ole32 uuid)
  varno_add_wine_test(NAME installer_utils_unittests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/log_unittest.cpp ${CMAKE_CURRENT_LIST_DIR}/public_fun_unittest.cpp
    LIBS installer_utils)
else()
  target_sources(varno_portable PRIVATE ${CMAKE_CURRENT_LIST_DIR}/log.cpp)
endif()

if(WIN32)
  # The interface language follows the locale Wine starts under.
  foreach(pair "zh_TW.UTF-8:tw" "zh_HK.UTF-8:tw" "zh_SG.UTF-8:cn" "he_IL.UTF-8:he" "fi_FI.UTF-8:fi")
    string(REPLACE ":" ";" parts ${pair})
    list(GET parts 0 locale)
    list(GET parts 1 code)
    add_test(NAME ui_language_${locale}
             COMMAND ${VARNO_TOOLS_DIR}/wine-run.sh $<TARGET_FILE:installer_utils_unittests>
                     --gtest_filter=*InterfaceLanguageFollowsLocale*)
    set_tests_properties(ui_language_${locale} PROPERTIES
      ENVIRONMENT "LC_ALL=${locale};VARNO_EXPECT_UI_LANGUAGE=${code}" LABELS wine)
  endforeach()
endif()
