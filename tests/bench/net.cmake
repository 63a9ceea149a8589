# Tests of the Internet access layer and HTML scanning.
quorvel_add_test(test_bench_net
  ${CMAKE_CURRENT_LIST_DIR}/loopback_servers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/nginx_server.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_corpus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_browser_load.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_css_tokenizer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_module_imports.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_curl_internet.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_image_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_page_links.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_page_requisites.cpp
)
target_link_libraries(test_bench_net PRIVATE PkgConfig::HTTPLIB)
# The npm packages of the tests: scripts/install-npm.sh installs them there.
set(QUORVEL_NPM_DIR "${CMAKE_SOURCE_DIR}/build/npm" CACHE PATH "npm packages of the tests")
target_compile_definitions(test_bench_net PRIVATE
  QUORVEL_NPM_DIR="${QUORVEL_NPM_DIR}"
  QUORVEL_PAGES_DIR="${CMAKE_CURRENT_LIST_DIR}/pages"
  QUORVEL_FUZZ_CORPUS="${CMAKE_SOURCE_DIR}/fuzz/corpus/fuzz_html_scan"
  QUORVEL_TEST_SOURCE_DIR="${CMAKE_CURRENT_LIST_DIR}")
