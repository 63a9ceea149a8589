# Tests of the FTP download test.
