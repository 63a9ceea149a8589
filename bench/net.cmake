# The Internet access layer and HTML scanning.
target_sources(quorvel_core PRIVATE
  curl_errors.cpp
  curl_internet.cpp
  html_scan.cpp
  internet_errors.cpp
  internet_url.cpp
)
