# Benchmarks of the scan and download circle (see sessions.md).
add_executable(bench_sessions_scan ${CMAKE_CURRENT_LIST_DIR}/sessions_scan_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/qt_bench_main.cpp)
target_link_libraries(bench_sessions_scan PRIVATE kestrel_nntp kestrel_scan kestrel_newsd benchmark::benchmark
                      Qt6::Network)

# The download run into the real decode pipeline (the sink that joins them is compiled in
# here, so the bench needs no engine).
add_executable(bench_sessions_download
  ${CMAKE_CURRENT_LIST_DIR}/sessions_download_bench.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bench_picture_store.cpp
  ${CMAKE_SOURCE_DIR}/src/core/pipeline_sink.cpp)
target_link_libraries(bench_sessions_download PRIVATE kestrel_nntp kestrel_scan kestrel_decode kestrel_newsd
                      benchmark::benchmark Qt6::Network ZLIB::ZLIB)
