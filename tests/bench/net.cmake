# Tests of the Internet access layer and HTML scanning.
quorvel_add_test(test_bench_net
  ${CMAKE_CURRENT_LIST_DIR}/loopback_servers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_curl_internet.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_html_scan.cpp
)
target_link_libraries(test_bench_net PRIVATE PkgConfig::HTTPLIB)
