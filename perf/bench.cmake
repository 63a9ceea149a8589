# Benchmarks of fetching, scanning and the run.
if(NOT TARGET PkgConfig::HTTPLIB)
  pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
endif()
add_executable(bench_fetch ${CMAKE_CURRENT_LIST_DIR}/bench_fetch.cpp)
target_link_libraries(bench_fetch PRIVATE quorvel_core PkgConfig::HTTPLIB)
