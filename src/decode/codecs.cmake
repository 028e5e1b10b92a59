# The decoders (yEnc, uuencode, base64) and the decode entry points built on them.
add_library(kestrel_decode_codecs STATIC
  ${CMAKE_CURRENT_LIST_DIR}/base64_decoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/decode_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/decoded_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_name.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unstuff_dots.cpp
  ${CMAKE_CURRENT_LIST_DIR}/uu_decoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/work_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/yenc_decoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/yenc_kernel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/yenc_simd.cpp
)
target_link_libraries(kestrel_decode_codecs PUBLIC kestrel_base ZLIB::ZLIB)

if(KESTREL_FUZZ)
  # Coverage feedback from the decoders themselves, not only from the fuzz drivers.
  target_compile_options(kestrel_decode_codecs PRIVATE -fsanitize=fuzzer-no-link)
  foreach(target yenc_fuzz uu_fuzz base64_fuzz)
    add_executable(${target} ${CMAKE_SOURCE_DIR}/fuzz/${target}.cpp)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${target} PRIVATE kestrel_decode_codecs)
  endforeach()
endif()
