# Tests of the FTP download test, against a pyftpdlib server on loopback.
quorvel_add_test(test_ftp
  test_ftp_core.cpp
  test_ftp_window.cpp
  test_ftp_server.cpp
)

# A picture of the window after a run against a loopback server (not run by CTest).
add_executable(test_ftp_screenshot test_ftp_screenshot.cpp test_ftp_server.cpp)
target_link_libraries(test_ftp_screenshot PRIVATE quorvel_gui)
target_include_directories(test_ftp_screenshot PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/..)
