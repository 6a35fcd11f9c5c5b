# System services and device identity: folders, paths, language, disk space,
# connectivity (public_fun), process launching (setup_launcher), the device
# identifier (device_id) and its portable decoders (device_serial).
set(SYSTEM_DIR ${CMAKE_CURRENT_LIST_DIR})

if(WIN32)
  if(TARGET installer_utils)
    target_sources(installer_utils PRIVATE
      ${SYSTEM_DIR}/public_fun.cpp
      ${SYSTEM_DIR}/setup_launcher.cpp
      ${SYSTEM_DIR}/device_id.cpp
      ${SYSTEM_DIR}/device_serial.cpp)
    target_link_libraries(installer_utils PUBLIC bcrypt version shell32 ole32 oleaut32 uuid advapi32 netapi32)

    # The test binary and its fixtures share a folder of their own. The
    # stand-ins for the system's programs sit in a folder of their own below
    # it, which the tests name as the system folder: a copy beside the test
    # binary must not be what runs.
    set(sys_fixture_dir ${CMAKE_BINARY_DIR}/bin/sys_fixtures)
    foreach(fixture fake_installer fake_product fake_tasklist fake_wmic)
      add_executable(varno_${fixture} ${SYSTEM_DIR}/testing/${fixture}.cpp)
      target_include_directories(varno_${fixture} PRIVATE ${CMAKE_SOURCE_DIR})
      target_link_libraries(varno_${fixture} PRIVATE shell32)
      set_target_properties(varno_${fixture} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${sys_fixture_dir})
    endforeach()
    foreach(tool tasklist wmic)
      set_target_properties(varno_fake_${tool} PROPERTIES OUTPUT_NAME ${tool}
                            RUNTIME_OUTPUT_DIRECTORY ${sys_fixture_dir}/system_tools)
    endforeach()

    varno_add_wine_test(NAME installer_utils_sys_unittests
      SOURCES
        ${SYSTEM_DIR}/public_fun_unittest.cpp
        ${SYSTEM_DIR}/setup_launcher_unittest.cpp
        ${SYSTEM_DIR}/device_id_unittest.cpp
        ${SYSTEM_DIR}/device_serial_unittest.cpp
      LIBS installer_utils)
    if(TARGET installer_utils_sys_unittests)
      set_target_properties(installer_utils_sys_unittests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${sys_fixture_dir})
      add_dependencies(installer_utils_sys_unittests varno_fake_installer varno_fake_product varno_fake_tasklist
                       varno_fake_wmic)
    endif()
  endif()
else()
  target_sources(varno_portable PRIVATE ${SYSTEM_DIR}/device_serial.cpp)
  varno_add_native_test(NAME installer_device_serial_native_unittests
    SOURCES ${SYSTEM_DIR}/device_serial_unittest.cpp
    LIBS varno_portable)

  set(device_serial_corpus ${CMAKE_BINARY_DIR}/fuzz_corpus/device_serial)
  file(MAKE_DIRECTORY ${device_serial_corpus})
  # Seeds: a hexadecimal serial, a plain one, an odd-length one, command output.
  file(WRITE ${device_serial_corpus}/hex "....31535a3348414b4e")
  file(WRITE ${device_serial_corpus}/plain "....WD-WCC4E1234567")
  file(WRITE ${device_serial_corpus}/odd ".... ABC")
  file(WRITE ${device_serial_corpus}/wmic "ProcessorId      \r\nBFEBFBFF000906EA  \r\n")
  varno_add_fuzzer(NAME device_serial_fuzz
    SOURCES ${SYSTEM_DIR}/device_serial_fuzz.cpp ${SYSTEM_DIR}/device_serial.cpp
    LIBS varno_portable
    CORPUS ${device_serial_corpus})
endif()
