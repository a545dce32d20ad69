# Fake outside libraries for the loader and fault guard tests: the same small library in
# two sets (to see which folder wins) and once beside the programs.
function(zb_common_fake target set identity)
  add_library(${target} SHARED ${CMAKE_CURRENT_LIST_DIR}/common/fake_library.c)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME zbcommonfake)
  target_compile_definitions(${target} PRIVATE FAKE_IDENTITY=${identity})
  if(set)
    set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fakes/${set})
  endif()
endfunction()
zb_common_fake(zb_common_fake_a common 1)
zb_common_fake(zb_common_fake_b common-alt 2)
zb_common_fake(zb_common_fake_bin "" 3)
