# HTTP transport: the client interface, the header model and URL splitting
# (portable, so they also build natively for the sanitizers and libFuzzer),
# and the socket, WinINet and WinHTTP clients with their factory.
set(HTTP_DIR ${CMAKE_CURRENT_LIST_DIR})
set(HTTP_PORTABLE_SOURCES
  ${HTTP_DIR}/HttpHeader.cpp
  ${HTTP_DIR}/HttpUrl.cpp
)
set(HTTP_PORTABLE_TESTS
  ${HTTP_DIR}/HttpHeader_unittest.cpp
  ${HTTP_DIR}/HttpUrl_unittest.cpp
)

if(WIN32)
  if(TARGET installer_http)
    target_sources(installer_http PRIVATE
      ${HTTP_PORTABLE_SOURCES}
      ${HTTP_DIR}/HttpClientUtil.cpp
      ${HTTP_DIR}/HttpFactory.cpp
      ${HTTP_DIR}/HttpSocket.cpp
      ${HTTP_DIR}/WinHttp.cpp
      ${HTTP_DIR}/WininetHttp.cpp)

    # Loopback servers, test pattern, recording callback and the run's
    # trusted test root: shared with the tests of the clients' users.
    add_library(installer_http_test_support STATIC ${HTTP_DIR}/testing/http_test_support.cpp)
    target_link_libraries(installer_http_test_support PUBLIC installer_http GTest::gtest crypt32)

    # One Wine test; its wrapper starts nginx and the scripted peer on
    # 127.0.0.1 around the run and hands their ports over.
    add_executable(installer_http_unittests
      ${HTTP_PORTABLE_TESTS}
      ${HTTP_DIR}/HttpInterface_unittest.cpp
      ${HTTP_DIR}/HttpSocket_unittest.cpp
      ${HTTP_DIR}/WininetHttp_unittest.cpp
      ${HTTP_DIR}/WinHttp_unittest.cpp)
    target_link_libraries(installer_http_unittests PRIVATE installer_http_test_support GTest::gtest_main)
    add_test(NAME installer_http_unittests
             COMMAND ${HTTP_DIR}/testing/run_http_tests.sh $<TARGET_FILE:installer_http_unittests>)
    set_tests_properties(installer_http_unittests PROPERTIES LABELS "wine;http" TIMEOUT 900)

    # Throughput of each client's FetchToFile (tools/bench/http_throughput.sh).
    add_executable(http_bench ${CMAKE_SOURCE_DIR}/tools/bench/http_bench.cpp)
    target_link_libraries(http_bench PRIVATE installer_http -municode)
  endif()
else()
  target_sources(varno_portable PRIVATE ${HTTP_PORTABLE_SOURCES})
  varno_add_native_test(NAME installer_http_native_unittests
    SOURCES ${HTTP_PORTABLE_TESTS}
    LIBS varno_portable)

  # Seeds: responses the clients meet (plain, partial, redirect, odd status
  # line, lower-case names, split lines) and URLs, each behind the byte that
  # picks the fuzzer's read size.
  set(http_corpus ${CMAKE_BINARY_DIR}/fuzz_corpus/http_header)
  file(MAKE_DIRECTORY ${http_corpus})
  file(GLOB http_seed_files ${HTTP_DIR}/testing/fuzz_seeds/*)
  foreach(seed ${http_seed_files})
    get_filename_component(seed_name ${seed} NAME)
    configure_file(${seed} ${http_corpus}/${seed_name} COPYONLY)
  endforeach()
  varno_add_fuzzer(NAME http_header_fuzz
    # Compiled in again for libFuzzer's coverage instrumentation.
    SOURCES ${HTTP_DIR}/HttpHeader_fuzz.cpp ${HTTP_PORTABLE_SOURCES}
    LIBS varno_portable
    CORPUS ${http_corpus})
endif()
