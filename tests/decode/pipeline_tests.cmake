# Tests of the article capture and decode pipeline.
kestrel_add_test(pipeline_tests
  LIBS kestrel_decode kestrel_scan ZLIB::ZLIB
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/codecs_test_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pipeline_outcomes_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pipeline_capture_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pipeline_folders_test.cpp
)
