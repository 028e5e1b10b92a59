# Benchmarks of the CRC-32 of files and the CSV index.
add_executable(bench_verify
  ${CMAKE_CURRENT_LIST_DIR}/verify_crc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/verify_csv.cpp
)
target_link_libraries(bench_verify PRIVATE kestrel_decode_verify benchmark::benchmark_main)
