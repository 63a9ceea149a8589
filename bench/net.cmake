# The Internet access layer and HTML scanning.
target_sources(quorvel_core PRIVATE
  browser_load.cpp
  browser_loader.cpp
  curl_internet.cpp
  css_tokenizer.cpp
  module_imports.cpp
  image_source.cpp
  media_query.cpp
  page_requisites.cpp
  viewport_choice.cpp
  html_tokenizer.cpp
  web_url.cpp
  internet_url.cpp
)
