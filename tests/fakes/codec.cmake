# Fake outside libraries for the codec layer's contract tests. Each set is one folder under
# ${CMAKE_BINARY_DIR}/fakes/ that a test names in $ZIMBAR_LIB_DIR. The fakes are plain C
# built without sanitizers, so a deliberate fault inside them reaches the fault guard.
zb_header_library(codec_fake_env FOLDER codec)

function(zb_codec_fake target set output_name)
  add_library(${target} SHARED ${ARGN})
  target_link_libraries(${target} PRIVATE codec_fake_env gogo_api faac_api zbaaclib_api zbdecode_api)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${output_name}
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fakes/${set})
  target_compile_options(${target} PRIVATE -fno-sanitize=all)
  target_link_options(${target} PRIVATE -fno-sanitize=all)
endfunction()

set(codec_fake_dir ${CMAKE_CURRENT_LIST_DIR}/codec)
zb_codec_fake(codec_fake_gogo codec gogo ${codec_fake_dir}/fake_gogo.c)
zb_codec_fake(codec_fake_faac codec faac ${codec_fake_dir}/fake_faac.c)
zb_codec_fake(codec_fake_zbaaclib codec zbaaclib ${codec_fake_dir}/fake_zbaaclib.c)
zb_codec_fake(codec_fake_zbdecode codec zbdecode ${codec_fake_dir}/fake_zbdecode.c)
# Libraries that each lack one entry.
zb_codec_fake(codec_fake_gogo_incomplete codec-incomplete gogo ${codec_fake_dir}/fake_gogo.c)
target_compile_definitions(codec_fake_gogo_incomplete PRIVATE FAKE_OMIT_ENTRY)
zb_codec_fake(codec_fake_faac_incomplete codec-incomplete faac ${codec_fake_dir}/fake_faac.c)
target_compile_definitions(codec_fake_faac_incomplete PRIVATE FAKE_OMIT_ENTRY)
zb_codec_fake(codec_fake_zbaaclib_incomplete codec-incomplete zbaaclib ${codec_fake_dir}/fake_zbaaclib.c)
target_compile_definitions(codec_fake_zbaaclib_incomplete PRIVATE FAKE_OMIT_ENTRY)
zb_codec_fake(codec_fake_zbdecode_incomplete codec-incomplete zbdecode ${codec_fake_dir}/fake_zbdecode.c)
target_compile_definitions(codec_fake_zbdecode_incomplete PRIVATE FAKE_OMIT_ENTRY)

add_custom_target(codec_fakes DEPENDS
  codec_fake_gogo codec_fake_faac codec_fake_zbaaclib codec_fake_zbdecode
  codec_fake_gogo_incomplete codec_fake_faac_incomplete codec_fake_zbaaclib_incomplete
  codec_fake_zbdecode_incomplete)
