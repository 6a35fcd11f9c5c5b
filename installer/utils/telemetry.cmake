# Telemetry: the analytics client and the report API client. They send
# through the HTTP clients, which installer_utils cannot link (that would be
# a cycle), so they make a library of their own.
set(TELEMETRY_DIR ${CMAKE_CURRENT_LIST_DIR})

if(WIN32 AND TARGET installer_http)
  add_library(installer_telemetry STATIC
    ${TELEMETRY_DIR}/analytics_client.cpp
    ${TELEMETRY_DIR}/report_client.cpp
    ${TELEMETRY_DIR}/telemetry_timeouts.cpp)
  target_link_libraries(installer_telemetry PUBLIC installer_http installer_utils JsonCpp::JsonCpp)

  # The signing key as a C string literal (backslashes and quotes escaped) in
  # a generated header: compile definitions lose characters such as '#'.
  string(REPLACE "\\" "\\\\" report_key_literal "${VARNO_REPORT_KEY}")
  string(REPLACE "\"" "\\\"" report_key_literal "${report_key_literal}")
  set(telemetry_generated ${CMAKE_BINARY_DIR}/generated/telemetry)
  file(CONFIGURE OUTPUT ${telemetry_generated}/installer/utils/report_key.h
       CONTENT "// Generated from the VARNO_REPORT_KEY cache variable.\n#define VARNO_REPORT_KEY \"@report_key_literal@\"\n"
       @ONLY)
  target_include_directories(installer_telemetry PRIVATE ${telemetry_generated})

  # One Wine test; its wrapper starts the recording collector on 127.0.0.1
  # around the run and hands its port over.
  add_executable(installer_telemetry_unittests
    ${TELEMETRY_DIR}/analytics_client_unittest.cpp
    ${TELEMETRY_DIR}/report_client_unittest.cpp
    ${TELEMETRY_DIR}/testing/collector_client.cpp)
  target_link_libraries(installer_telemetry_unittests PRIVATE installer_telemetry ws2_32 GTest::gtest GTest::gtest_main)
  target_include_directories(installer_telemetry_unittests PRIVATE ${telemetry_generated})
  add_test(NAME installer_telemetry_unittests
           COMMAND ${TELEMETRY_DIR}/testing/run_collector_tests.sh $<TARGET_FILE:installer_telemetry_unittests>)
  set_tests_properties(installer_telemetry_unittests PROPERTIES LABELS "wine;telemetry" TIMEOUT 300)
endif()
