# Benchmarks of the scan and download circle (see sessions.md).
add_executable(bench_sessions_scan ${CMAKE_CURRENT_LIST_DIR}/sessions_scan_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/qt_bench_main.cpp)
target_link_libraries(bench_sessions_scan PRIVATE kestrel_circle kestrel_newsd benchmark::benchmark
                      Qt6::Network)

# The download run into the real decode pipeline through the engine's sink.
add_executable(bench_sessions_download
  ${CMAKE_CURRENT_LIST_DIR}/sessions_download_bench.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bench_picture_store.cpp)
target_link_libraries(bench_sessions_download PRIVATE kestrel_engine kestrel_newsd
                      benchmark::benchmark Qt6::Network ZLIB::ZLIB)
