# Fake reader libraries: a scripted one and one without the XWI entry.
add_library(fake_zbntread_scripted SHARED ${CMAKE_CURRENT_LIST_DIR}/cd/scripted_zbntread.cpp)
target_link_libraries(fake_zbntread_scripted PRIVATE zbntread_api)
set_target_properties(fake_zbntread_scripted PROPERTIES OUTPUT_NAME zbntread
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fakes/cd-scripted)
add_library(fake_zbntread_no_entry SHARED ${CMAKE_CURRENT_LIST_DIR}/cd/no_entry_zbntread.cpp)
set_target_properties(fake_zbntread_no_entry PROPERTIES OUTPUT_NAME zbntread
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fakes/cd-no-entry)
