# Reply framing throughput and the test server's overview throughput (see nntp.md).
add_executable(bench_nntp_reader ${CMAKE_CURRENT_LIST_DIR}/nntp_reader_bench.cpp)
target_link_libraries(bench_nntp_reader PRIVATE kestrel_nntp kestrel_newsd benchmark::benchmark)

add_executable(bench_nntp_server ${CMAKE_CURRENT_LIST_DIR}/nntp_server_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/qt_bench_main.cpp)
target_link_libraries(bench_nntp_server PRIVATE kestrel_nntp kestrel_newsd benchmark::benchmark Qt6::Network)
