# veltra_export_headers(target [DIR folder] [HEADERS name...] [EXCLUDE name...]
#                       [PRIVATE_HEADERS name...])
#
# The fence between the layers. The target gets an include folder of its own in the build tree,
# holding links to its own headers only under their path below src/
# (include/veltra_image/image/bin_file.h -> src/image/bin_file.h), and that folder becomes its
# public include folder. A file then sees the headers of its own target and of the targets it
# links, and nothing else: an include of a layer the target does not link fails to compile.
#
# The headers are those of DIR (the calling folder by default) without its subfolders, so that
# platform/ does not export platform/sim/; HEADERS names them instead where several targets share
# a folder, EXCLUDE leaves out those of the folder's other targets. PRIVATE_HEADERS are the
# target's own and left out of the export: they go into include/<target>-private/, which the
# target sees and which veltra_private_headers opens to the tests that reach inside.
function(veltra_export_headers target)
  cmake_parse_arguments(ARG "" "DIR" "HEADERS;EXCLUDE;PRIVATE_HEADERS" ${ARGN})
  if(NOT ARG_DIR)
    set(ARG_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  if(ARG_HEADERS)
    set(headers ${ARG_HEADERS})
  else()
    file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${ARG_DIR} ${ARG_DIR}/*.h)
    if(ARG_EXCLUDE OR ARG_PRIVATE_HEADERS)
      list(REMOVE_ITEM headers ${ARG_EXCLUDE} ${ARG_PRIVATE_HEADERS})
    endif()
  endif()
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${ARG_DIR})
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  set(private ${CMAKE_BINARY_DIR}/include/${target}-private)
  # Made afresh at every configuration: a header removed or moved leaves no link behind.
  file(REMOVE_RECURSE ${root} ${private})
  veltra_link_headers(${ARG_DIR} ${root}/${folder} ${headers})
  target_include_directories(${target} PUBLIC ${root})
  if(ARG_PRIVATE_HEADERS)
    veltra_link_headers(${ARG_DIR} ${private}/${folder} ${ARG_PRIVATE_HEADERS})
    target_include_directories(${target} PRIVATE ${private})
  endif()
endfunction()

function(veltra_link_headers dir destination)
  file(MAKE_DIRECTORY ${destination})
  foreach(header IN LISTS ARGN)
    if(NOT EXISTS ${dir}/${header})
      message(FATAL_ERROR "${header} is to be exported from ${dir}, which does not hold it")
    endif()
    file(CREATE_LINK ${dir}/${header} ${destination}/${header} SYMBOLIC)
  endforeach()
endfunction()

# veltra_private_headers(name target): an interface target that opens the private headers of
# target (and what it links) to the tests, benchmarks and fuzz targets that link name.
function(veltra_private_headers name target)
  add_library(${name} INTERFACE)
  target_include_directories(${name} INTERFACE ${CMAKE_BINARY_DIR}/include/${target}-private)
  target_link_libraries(${name} INTERFACE ${target} ${ARGN})
endfunction()
