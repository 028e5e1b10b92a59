# Benchmarks of this area are declared here.
add_executable(codecs_bench
  ${CMAKE_CURRENT_LIST_DIR}/codecs_bench.cpp
  ${CMAKE_SOURCE_DIR}/tests/decode/codecs_test_support.cpp)
target_include_directories(codecs_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(codecs_bench PRIVATE kestrel_decode_codecs benchmark::benchmark ZLIB::ZLIB)
