# Picture test, CSV index and CRC-32 of decoded files.
set(KESTREL_VERIFY_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/csv_crc_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/csv_index.cpp
  ${CMAKE_CURRENT_LIST_DIR}/csv_index.h
  ${CMAKE_CURRENT_LIST_DIR}/csv_index_load.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_crc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_crc.h
  ${CMAKE_CURRENT_LIST_DIR}/folded_name_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/folded_name_table.h
  ${CMAKE_CURRENT_LIST_DIR}/huge_page_memory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/huge_page_memory.h
  ${CMAKE_CURRENT_LIST_DIR}/image_tester.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_tester.h
  ${CMAKE_CURRENT_LIST_DIR}/jpeg_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/jpeg_check.h
)
add_library(kestrel_decode_verify STATIC ${KESTREL_VERIFY_SOURCES})
target_link_libraries(kestrel_decode_verify PUBLIC kestrel_base ZLIB::ZLIB)

if(KESTREL_FUZZ)
  # The sources are built again with coverage instrumentation, so that the library
  # used by the rest of the build stays as it is.
  add_executable(csv_fuzz ${CMAKE_CURRENT_LIST_DIR}/../../fuzz/csv_fuzz.cpp ${KESTREL_VERIFY_SOURCES})
  target_compile_options(csv_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(csv_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(csv_fuzz PRIVATE kestrel_base ZLIB::ZLIB)
endif()
