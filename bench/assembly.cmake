# Benchmark of assembling a picture posted in several parts.
add_executable(bench_assembly ${CMAKE_CURRENT_LIST_DIR}/assembly_bench.cpp)
target_link_libraries(bench_assembly PRIVATE kestrel_decode kestrel_scan kestrel_newsd benchmark::benchmark ZLIB::ZLIB)
