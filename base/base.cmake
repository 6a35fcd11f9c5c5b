set(BASE_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/synchronization/lock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/util/string_util.cpp
)

if(WIN32)
  add_library(base STATIC
    ${BASE_PORTABLE_SOURCES}
    ${CMAKE_CURRENT_LIST_DIR}/framework/framework_thread.cpp
    ${CMAKE_CURRENT_LIST_DIR}/framework/message_loop.cpp
    ${CMAKE_CURRENT_LIST_DIR}/framework/message_loop_proxy.cpp
    ${CMAKE_CURRENT_LIST_DIR}/framework/message_pump.cpp
    ${CMAKE_CURRENT_LIST_DIR}/framework/win_message_pump.cpp
    ${CMAKE_CURRENT_LIST_DIR}/synchronization/waitable_event.cpp
    ${CMAKE_CURRENT_LIST_DIR}/thread/thread.cpp
    ${CMAKE_CURRENT_LIST_DIR}/thread/thread_local.cpp
    ${CMAKE_CURRENT_LIST_DIR}/time/time.cpp
  )
  target_include_directories(base PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(base PUBLIC winmm)

  varno_add_wine_test(NAME base_unittests
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/callback/weak_callback_unittest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/framework/message_loop_unittest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/framework/framework_thread_unittest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/framework/win_message_pump_unittest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/synchronization/sync_unittest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/time/time_unittest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/util/string_util_unittest.cpp
    LIBS base)
else()
  target_sources(varno_portable PRIVATE ${BASE_PORTABLE_SOURCES})
  varno_add_native_test(NAME base_native_unittests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/util/string_util_unittest.cpp
    LIBS varno_portable)
endif()
