# Benchmarks of the log statistics.
add_executable(bench_stats ${CMAKE_CURRENT_LIST_DIR}/bench_stats.cpp)
target_link_libraries(bench_stats PRIVATE quorvel_core)
