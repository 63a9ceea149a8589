# Benchmarks of fetching, scanning and the run.
if(NOT TARGET PkgConfig::HTTPLIB)
  pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
endif()
add_executable(bench_fetch ${CMAKE_CURRENT_LIST_DIR}/bench_fetch.cpp)
target_link_libraries(bench_fetch PRIVATE quorvel_core PkgConfig::HTTPLIB)
# What a browser fetches with a page, as the core finds it (scripts/requisites-compare.sh).
add_executable(page_requisites ${CMAKE_CURRENT_LIST_DIR}/page_requisites_main.cpp)
target_link_libraries(page_requisites PRIVATE quorvel_core)

# The delay element of the shaped lab of scripts/bench-browser.sh (the tests' TUN forwarder).
add_executable(shaped_link ${CMAKE_CURRENT_LIST_DIR}/shaped_link_main.cpp
  ${CMAKE_SOURCE_DIR}/tests/tools/lossy_link.cpp ${CMAKE_SOURCE_DIR}/tests/tools/netns_lab.cpp)
target_include_directories(shaped_link PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(shaped_link PRIVATE Qt6::Core)
