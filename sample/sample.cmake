# The HTTP server that serves the sample site (sample/site) for scripts/run.sh.
if(NOT TARGET PkgConfig::HTTPLIB)
  pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
endif()
add_executable(quorvel_sample_server ${CMAKE_CURRENT_LIST_DIR}/sample_server.cpp)
target_link_libraries(quorvel_sample_server PRIVATE PkgConfig::HTTPLIB)
set_target_properties(quorvel_sample_server PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
