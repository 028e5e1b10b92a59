# Benchmarks of the scan and download circle (see sessions.md).
add_executable(bench_sessions_scan ${CMAKE_CURRENT_LIST_DIR}/sessions_scan_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/qt_bench_main.cpp)
target_link_libraries(bench_sessions_scan PRIVATE kestrel_nntp kestrel_scan kestrel_newsd benchmark::benchmark
                      Qt6::Network)
