# The FTP download test: the connection over libcurl, the test itself, its recent-file list,
# and its window.
target_sources(quorvel_core PRIVATE
  ftp_curl.cpp
  ftp_download.cpp
  ftp_parms.cpp
  ftp_recent.cpp
)
target_sources(quorvel_gui PRIVATE
  frm_ftp.cpp
)
