# The Internet access layer and HTML scanning.
target_sources(quorvel_core PRIVATE
  curl_internet.cpp
  html_scan.cpp
  internet_url.cpp
)
