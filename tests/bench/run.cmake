# Tests of the benchmark run, result logs and totals.
quorvel_add_test(test_bench_run
  ${CMAKE_CURRENT_LIST_DIR}/loopback_servers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_corpus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../tools/lossy_link.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../tools/netns_lab.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_log_lines.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_page_sites.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_run_browser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_run_fake.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_run_http.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_run_progress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_run_waterfall.cpp
)
target_link_libraries(test_bench_run PRIVATE PkgConfig::HTTPLIB)
target_compile_definitions(test_bench_run PRIVATE
  QUORVEL_PAGES_DIR="${CMAKE_CURRENT_LIST_DIR}/pages")
