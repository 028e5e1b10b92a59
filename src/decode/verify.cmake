# Picture test, CSV index and CRC-32 of decoded files.
add_library(kestrel_decode_verify STATIC
  ${CMAKE_CURRENT_LIST_DIR}/csv_crc_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/csv_index.cpp
  ${CMAKE_CURRENT_LIST_DIR}/csv_index.h
  ${CMAKE_CURRENT_LIST_DIR}/csv_index_load.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_crc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_crc.h
  ${CMAKE_CURRENT_LIST_DIR}/folded_name_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/folded_name_table.h
  ${CMAKE_CURRENT_LIST_DIR}/image_tester.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_tester.h
  ${CMAKE_CURRENT_LIST_DIR}/jpeg_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/jpeg_check.h
)
target_link_libraries(kestrel_decode_verify PUBLIC kestrel_base ZLIB::ZLIB)

if(KESTREL_FUZZ)
  # libFuzzer target for the CSV index; needs clang.
  add_executable(csv_fuzz ${CMAKE_SOURCE_DIR}/fuzz/csv_fuzz.cpp)
  target_compile_options(csv_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(csv_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(csv_fuzz PRIVATE kestrel_decode_verify)
endif()
