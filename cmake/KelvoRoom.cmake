# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# kelvo_room(<target> [PRIVATE_HEADERS <name>.h ...]): the library of one folder of src/. Its
# headers are published to every library that links it as "<folder>/<name>.h" (the folder as
# below src/), in a tree of links in the build folder that holds nothing else; the private
# ones are left out, and only the folder's own sources reach them, by name alone. So a private
# header included from elsewhere does not compile.
function(kelvo_room target)
  cmake_parse_arguments(ARG "" "" "PRIVATE_HEADERS" ${ARGN})
  file(RELATIVE_PATH room ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  set(tree ${PROJECT_BINARY_DIR}/include)
  file(GLOB published ${tree}/${room}/*.h)
  if(published)
    file(REMOVE ${published})
  endif()
  file(MAKE_DIRECTORY ${tree}/${room})
  file(GLOB headers RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(header ${headers})
    if(NOT header IN_LIST ARG_PRIVATE_HEADERS)
      file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${tree}/${room}/${header} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${target} PUBLIC ${tree})
endfunction()

# kelvo_private_headers(<target> <folder> ...): a test, fuzz target or benchmark that also
# reaches the private headers of the folders (below src/) it looks into.
function(kelvo_private_headers target)
  foreach(folder ${ARGN})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/${folder})
  endforeach()
endfunction()
