# The loopback AccurateRip server: a program (for scripts, benchmarks and runs of zbmaker)
# and a library of the same server for tests, with a helper that starts the program.
add_executable(zb_fake_accuraterip_server
  ${CMAKE_CURRENT_LIST_DIR}/accuraterip/accuraterip_server_main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/accuraterip/accuraterip_server.cpp)
target_link_libraries(zb_fake_accuraterip_server PRIVATE zb_maker_accuracy Threads::Threads)
set_target_properties(zb_fake_accuraterip_server PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fakes/accuraterip)
zb_layer_headers(zb_fake_accuraterip_server FOLDER accuraterip)
target_compile_definitions(zb_fake_accuraterip_server PRIVATE
  ZB_FAKE_ACCURATERIP_SERVER_PROGRAM="$<TARGET_FILE:zb_fake_accuraterip_server>")

add_library(zb_fake_accuraterip STATIC ${CMAKE_CURRENT_LIST_DIR}/accuraterip/accuraterip_server.cpp)
target_link_libraries(zb_fake_accuraterip PUBLIC zb_maker_accuracy Threads::Threads)
zb_layer_headers(zb_fake_accuraterip FOLDER accuraterip)
target_compile_definitions(zb_fake_accuraterip PRIVATE
  ZB_FAKE_ACCURATERIP_SERVER_PROGRAM="$<TARGET_FILE:zb_fake_accuraterip_server>")
# Whatever links the library can start the program.
add_dependencies(zb_fake_accuraterip zb_fake_accuraterip_server)
