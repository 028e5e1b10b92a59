# Tests of the decoders.
kestrel_add_test(codecs_tests
  LIBS kestrel_decode_codecs ZLIB::ZLIB
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/codecs_test_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/yenc_decoder_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text_decoders_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/decode_file_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/yenc_crosscheck_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text_view_test.cpp
)
