# The FTP download test.
target_sources(quorvel_gui PRIVATE
  frm_ftp.cpp
)
