# Tests of the benchmark run, result logs and totals.
quorvel_add_test(test_bench_run
  ${CMAKE_CURRENT_LIST_DIR}/loopback_servers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_log_lines.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_run_fake.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_run_http.cpp
)
target_link_libraries(test_bench_run PRIVATE PkgConfig::HTTPLIB)
# The sample site and its server, as scripts/run.sh uses them.
target_compile_definitions(test_bench_run PRIVATE
  QUORVEL_SAMPLE_SITE="${CMAKE_SOURCE_DIR}/sample/site"
  QUORVEL_SAMPLE_SERVER="${CMAKE_BINARY_DIR}/quorvel_sample_server")
add_dependencies(test_bench_run quorvel_sample_server)
