# Each library shows its users its own headers only, under their path from the top of the tree
# ("runtime/snmp/snmp.h"): links to them in a folder of the build tree that is the library's
# include directory. A library then sees its own headers and those of the libraries it links,
# so an include against the layers fails to compile. Nested folders (runtime/snmp inside
# runtime) stay apart, since each folder's headers have a library of their own.

# zorv_headers(target PUBLIC|PRIVATE|INTERFACE [folder]): the headers of `folder` (from the top
# of the source tree; by default the current one) become includable through `target`.
function(zorv_headers target scope)
  if(ARGC GREATER 2)
    set(folder ${ARGV2})
  else()
    file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/${folder})
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.h)
  foreach(header ${headers})
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${root}/${folder}/${name} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${scope} ${root})
endfunction()
