# Tests of the FTP download test, against a pyftpdlib server on loopback.
quorvel_add_test(test_ftp
  test_ftp_core.cpp
  test_ftp_window.cpp
  test_ftp_server.cpp
)
