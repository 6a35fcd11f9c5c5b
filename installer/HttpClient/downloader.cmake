# The segmented downloader, its Wine tests against nginx and the scripted
# peer, and the driver of its benchmark (tools/bench/download_bench.sh).
set(DOWNLOADER_DIR ${CMAKE_CURRENT_LIST_DIR})

if(WIN32 AND TARGET installer_http)
  target_sources(installer_http PRIVATE ${DOWNLOADER_DIR}/HttpDownloader.cpp ${DOWNLOADER_DIR}/FileSha256.cpp
                                        ${DOWNLOADER_DIR}/FileSignature.cpp)
  target_link_libraries(installer_http PUBLIC user32 wintrust crypt32)

  # Run like installer_http_unittests: the wrapper starts the loopback
  # servers around the program.
  add_executable(installer_downloader_unittests ${DOWNLOADER_DIR}/HttpDownloader_unittest.cpp)
  target_link_libraries(installer_downloader_unittests PRIVATE installer_http_test_support GTest::gtest_main)
  add_test(NAME installer_downloader_unittests
           COMMAND ${DOWNLOADER_DIR}/testing/run_http_tests.sh $<TARGET_FILE:installer_downloader_unittests>)
  set_tests_properties(installer_downloader_unittests PROPERTIES LABELS "wine;http" TIMEOUT 600)

  add_executable(download_bench ${CMAKE_SOURCE_DIR}/tools/bench/download_bench.cpp)
  target_link_libraries(download_bench PRIVATE installer_http -municode)
endif()
