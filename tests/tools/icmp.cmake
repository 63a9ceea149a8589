# Tests of name resolution, ICMP, ping and trace route, in the windows and from the commands.
quorvel_add_test(test_icmp
  ${CMAKE_CURRENT_LIST_DIR}/lossy_link.cpp
  ${CMAKE_CURRENT_LIST_DIR}/netns_lab.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_icmp_live.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_icmp_packet.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_icmp_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_icmp_windows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_rtt_report.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../cli/cli_fixture.cpp
)
target_link_libraries(test_icmp PRIVATE quorvel_cli)
