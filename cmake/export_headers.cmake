# veltra_export_headers(target [DIR folder] [HEADERS name...] [EXCLUDE name...])
#
# The fence between the layers. The target gets an include folder of its own in the build tree,
# holding links to its own headers only under their path below src/
# (include/veltra_image/image/bin_file.h -> src/image/bin_file.h), and that folder becomes its
# public include folder. A file then sees the headers of its own target and of the targets it
# links, and nothing else: an include of a layer the target does not link fails to compile.
#
# The headers are those of DIR (the calling folder by default) without its subfolders, so that
# platform/ does not export platform/sim/; HEADERS names them instead where several targets share
# a folder, EXCLUDE leaves out those of the folder's other targets.
function(veltra_export_headers target)
  cmake_parse_arguments(ARG "" "DIR" "HEADERS;EXCLUDE" ${ARGN})
  if(NOT ARG_DIR)
    set(ARG_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  if(ARG_HEADERS)
    set(headers ${ARG_HEADERS})
  else()
    file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${ARG_DIR} ${ARG_DIR}/*.h)
    if(ARG_EXCLUDE)
      list(REMOVE_ITEM headers ${ARG_EXCLUDE})
    endif()
  endif()
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${ARG_DIR})
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  # Made afresh at every configuration: a header removed or moved leaves no link behind.
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/${folder})
  foreach(header IN LISTS headers)
    if(NOT EXISTS ${ARG_DIR}/${header})
      message(FATAL_ERROR "${target} exports ${header}, which ${folder}/ does not hold")
    endif()
    file(CREATE_LINK ${ARG_DIR}/${header} ${root}/${folder}/${header} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
