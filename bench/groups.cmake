# Loading and searching a server-sized HOSTGRPS.TXT (see groups.md).
add_executable(bench_groups ${CMAKE_CURRENT_LIST_DIR}/groups_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/qt_bench_main.cpp)
target_link_libraries(bench_groups PRIVATE kestrel_groups benchmark::benchmark)
