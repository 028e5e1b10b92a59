# Benchmarks of the decode pipeline.
add_executable(pipeline_bench
  ${CMAKE_CURRENT_LIST_DIR}/pipeline_bench.cpp
  ${CMAKE_SOURCE_DIR}/tests/decode/codecs_test_support.cpp)
target_include_directories(pipeline_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(pipeline_bench PRIVATE kestrel_decode kestrel_scan benchmark::benchmark ZLIB::ZLIB)
