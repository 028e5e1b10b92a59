# Tests of the image tester, CSV index and CRC-32.
kestrel_add_test(test_decode_verify
  LIBS kestrel_decode_verify
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/csv_index_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/csv_load_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/csv_crc_check_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_crc_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/image_tester_test.cpp
)
