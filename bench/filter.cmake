# Header filter throughput and no-re-download list loading (see filter.md).
add_executable(bench_filter ${CMAKE_CURRENT_LIST_DIR}/filter_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/qt_bench_main.cpp)
target_link_libraries(bench_filter PRIVATE kestrel_scan benchmark::benchmark)
