# Tests of name resolution, ICMP, ping and trace route.
quorvel_add_test(test_icmp
  ${CMAKE_CURRENT_LIST_DIR}/netns_lab.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_icmp6_live.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_icmp_live.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_icmp_packet.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_icmp_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_icmp_windows.cpp
)

# Not a test: takes the pictures of the two windows for the documentation.
add_executable(icmp_screenshot ${CMAKE_CURRENT_LIST_DIR}/icmp_screenshot.cpp)
target_link_libraries(icmp_screenshot PRIVATE quorvel_gui)
target_link_libraries(test_icmp PRIVATE Qt6::Test)
