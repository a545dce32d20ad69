# The layers of the tree: a target sees the headers of its own folder and of the targets
# it links, and nothing else.
#
# Headers are included by their path from the top of the tree ("maker/cd/cd_device.h"),
# but the top of the tree is never an include directory. Instead each target stages the
# headers of its folder in the build tree, under layers/<target>/<folder>/, as symbolic
# links to the sources, and exports only that staging folder. An include of a folder the
# target does not link therefore fails with "<path>: No such file or directory"; the
# tests under tests/layers/ prove it, and zb_check_layer_includes refuses a source folder
# given as an include directory.

# zb_layer_headers(<target> [FOLDER <dir>] [FILES <header>...])
# Stages the headers of the calling folder (or of FOLDER, relative to it), not of its
# sub-folders (those belong to targets of their own), or only the FILES named: the public
# header of a library that others load by name. A library exports them (INTERFACE for a
# header-only one), an executable keeps them to itself. A header added later is staged at
# the next build.
function(zb_layer_headers target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "FOLDER" "FILES")
  set(source ${CMAKE_CURRENT_SOURCE_DIR})
  if(ARG_FOLDER)
    get_filename_component(source ${ARG_FOLDER} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${source})
  if(ARG_FILES)
    set(headers ${ARG_FILES})
  else()
    file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${source} ${source}/*.h)
  endif()
  set(stage ${PROJECT_BINARY_DIR}/layers/${target})
  # Staged afresh, so a header that was removed or renamed disappears from the layer too.
  file(REMOVE_RECURSE ${stage})
  file(MAKE_DIRECTORY ${stage}/${folder})
  foreach(header IN LISTS headers)
    if(NOT EXISTS ${source}/${header})
      message(FATAL_ERROR "zb_layer_headers(${target}): no header ${header} in ${folder}")
    endif()
    file(CREATE_LINK ${source}/${header} ${stage}/${folder}/${header} SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${stage})
  elseif(type STREQUAL "EXECUTABLE")
    target_include_directories(${target} PRIVATE ${stage})
  else()
    target_include_directories(${target} PUBLIC ${stage})
  endif()
endfunction()

# zb_header_library(<target> [FOLDER <dir>] [FILES <header>...] [LIBS <targets>...])
# A header-only target made of the calling folder's headers (or FOLDER's, or the FILES
# named), linking what those headers include.
function(zb_header_library target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "FOLDER" "FILES;LIBS")
  add_library(${target} INTERFACE)
  zb_layer_headers(${target} FOLDER "${ARG_FOLDER}" FILES ${ARG_FILES})
  if(ARG_LIBS)
    target_link_libraries(${target} INTERFACE ${ARG_LIBS})
  endif()
endfunction()

function(zb_targets_below dir result)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    zb_targets_below(${subdir} below)
    list(APPEND targets ${below})
  endforeach()
  set(${result} ${targets} PARENT_SCOPE)
endfunction()

# Refuses any target that names a folder of the source tree as an include directory
# (include_directories or target_include_directories): that would let it see every header
# of that folder's sub-tree and defeat the layers. Called once all targets exist.
function(zb_check_layer_includes)
  zb_targets_below(${PROJECT_SOURCE_DIR} targets)
  foreach(target IN LISTS targets)
    foreach(property INCLUDE_DIRECTORIES INTERFACE_INCLUDE_DIRECTORIES)
      get_target_property(dirs ${target} ${property})
      if(NOT dirs)
        continue()
      endif()
      foreach(dir IN LISTS dirs)
        string(FIND "${dir}" "${PROJECT_SOURCE_DIR}" inSource)
        string(FIND "${dir}" "${PROJECT_BINARY_DIR}" inBuild)
        if(inSource GREATER_EQUAL 0 AND NOT inBuild GREATER_EQUAL 0)
          message(FATAL_ERROR "${target}: include directory ${dir} is a folder of the source tree; "
                              "link the target that exports those headers instead (see docs/layers.md)")
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()

# Refuses a core library that links Qt: a library target outside the ui/ folders, the tools
# and the tests that names a Qt module or a ui/ library among what it links. Programs
# (executables) may assemble windows and core code; libraries below them may not.
function(zb_check_core_without_qt)
  zb_targets_below(${PROJECT_SOURCE_DIR} targets)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY|INTERFACE_LIBRARY)$")
      continue()
    endif()
    get_target_property(dir ${target} SOURCE_DIR)
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${dir})
    if(folder MATCHES "(^|/)ui(/|$)" OR folder MATCHES "^(tests|tools|bench)(/|$)")
      continue()
    endif()
    set(linked "")
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(libs ${target} ${property})
      if(libs)
        list(APPEND linked ${libs})
      endif()
    endforeach()
    foreach(lib IN LISTS linked)
      set(ui FALSE)
      if(TARGET ${lib} AND NOT lib MATCHES "::")
        get_target_property(libDir ${lib} SOURCE_DIR)
        file(RELATIVE_PATH libFolder ${PROJECT_SOURCE_DIR} ${libDir})
        if(libFolder MATCHES "(^|/)ui(/|$)")
          set(ui TRUE)
        endif()
      endif()
      if(lib MATCHES "^Qt6?::" OR ui)
        message(FATAL_ERROR "${target} (${folder}) is core code but links ${lib}; "
                            "windows live under a ui/ folder (see docs/layers.md)")
      endif()
    endforeach()
  endforeach()
endfunction()
