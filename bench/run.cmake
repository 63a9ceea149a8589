# The benchmark run, result logs and totals.
target_sources(quorvel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/benchmark.cpp
  ${CMAKE_CURRENT_LIST_DIR}/debug_log.cpp
  ${CMAKE_CURRENT_LIST_DIR}/log_lines.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_links.cpp
  ${CMAKE_CURRENT_LIST_DIR}/result_logs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/run_loop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/run_requests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/run_waterfall.cpp
  ${CMAKE_CURRENT_LIST_DIR}/totals_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/url_history.cpp
)
