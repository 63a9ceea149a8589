# Benchmark of the run itself: wall time of a 1,000-fetch run beside its measured intervals.
if(NOT TARGET PkgConfig::HTTPLIB)
  pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
endif()
add_executable(bench_run ${CMAKE_CURRENT_LIST_DIR}/bench_run.cpp)
target_link_libraries(bench_run PRIVATE quorvel_core PkgConfig::HTTPLIB)

# The load run: 10,000 fetches of mixed answers, totals beside what the server sent, memory
# along the way (scripts/load-run.sh).
add_executable(load_run ${CMAKE_CURRENT_LIST_DIR}/load_run.cpp)
target_link_libraries(load_run PRIVATE quorvel_core PkgConfig::HTTPLIB)

# The sample site's server (scripts/run.sh) is built with the programs of this folder.
include(${CMAKE_SOURCE_DIR}/sample/sample.cmake)

# One FTP download test through the FTP window's code, for scripts/bench-compare.sh.
add_executable(bench_ftp ${CMAKE_CURRENT_LIST_DIR}/bench_ftp.cpp)
target_link_libraries(bench_ftp PRIVATE quorvel_core)

# The Last Run window over large runs: opening it, drawing the waterfall, choosing a page.
add_executable(bench_waterfall ${CMAKE_CURRENT_LIST_DIR}/bench_waterfall.cpp)
target_link_libraries(bench_waterfall PRIVATE quorvel_gui)
