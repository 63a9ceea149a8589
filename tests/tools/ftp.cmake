# Tests of the FTP download test, against pyftpdlib servers on loopback.
quorvel_add_test(test_ftp test_ftp.cpp)
