# The loopback Cover Art Archive of the tests, on the AccurateRip fake's web server.
add_library(zb_fake_coverart STATIC ${CMAKE_CURRENT_LIST_DIR}/coverart/cover_art_server.cpp)
target_link_libraries(zb_fake_coverart PUBLIC zb_fake_accuraterip)
zb_layer_headers(zb_fake_coverart FOLDER coverart)
