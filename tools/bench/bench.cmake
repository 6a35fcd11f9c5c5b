if(WIN32)
  add_executable(task_bench ${CMAKE_CURRENT_LIST_DIR}/task_bench.cpp)
  target_link_libraries(task_bench PRIVATE base)
endif()
