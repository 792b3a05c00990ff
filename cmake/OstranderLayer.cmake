# Per-layer include folders.
#
# Each library and program of the source folders gets its own include folder,
# <build>/include/<target>/, holding at their root-relative paths symbolic
# links to its own headers and to nothing else, and that folder as its include
# path (PUBLIC for a library, PRIVATE for a program). A source file then finds
# its own headers and those of the libraries it links, so an include of a
# layer it does not link does not compile. cmake/layers.txt names every layer,
# its folder and the layers it may use; the layer_rule test checks the
# includes and links against it, from the map this file writes into
# <build>/layers/map.txt.
#
#   ostrander_layer(<target> [HEADERS <name>...] [GENERATED <file>...])
#
# called in the target's folder after add_library/add_executable. Without
# HEADERS the target owns every header of its folder (not of subfolders) that
# an earlier call in the same folder did not claim: where a folder builds two
# targets, the lower one names its headers and the upper one takes the rest.
# GENERATED adds headers made in the build tree (by configure_file or a custom
# command): each is linked in under the folder by its file name and added to
# the target's sources, so it is made before the target compiles.

set(OSTRANDER_LAYER_TABLE ${CMAKE_CURRENT_LIST_DIR}/layers.txt)
set(OSTRANDER_LAYER_MAP ${CMAKE_BINARY_DIR}/layers/map.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${OSTRANDER_LAYER_TABLE})

# The folder of every layer, from the table's "layer <target> <folder> ..." lines.
file(STRINGS ${OSTRANDER_LAYER_TABLE} _ostrander_layer_lines REGEX "^[ \t]*layer[ \t]")
foreach(_line IN LISTS _ostrander_layer_lines)
  string(REGEX REPLACE "#.*" "" _line "${_line}")
  string(STRIP "${_line}" _line)
  string(REGEX REPLACE "[ \t]+" ";" _fields "${_line}")
  list(LENGTH _fields _count)
  if(_count LESS 3)
    message(FATAL_ERROR "cmake/layers.txt: \"${_line}\" needs a target and a folder")
  endif()
  list(GET _fields 1 _target)
  list(GET _fields 2 _folder)
  set_property(GLOBAL PROPERTY OSTRANDER_LAYER_FOLDER_${_target} ${_folder})
endforeach()

function(ostrander_layer target)
  cmake_parse_arguments(L "" "" "HEADERS;GENERATED" ${ARGN})
  get_property(folder GLOBAL PROPERTY OSTRANDER_LAYER_FOLDER_${target})
  file(RELATIVE_PATH here ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  if(NOT folder)
    message(FATAL_ERROR "${target} has no line in cmake/layers.txt: add "
                        "\"layer ${target} ${here} <layers it may use>\" above its first user")
  endif()
  if(NOT folder STREQUAL here)
    message(FATAL_ERROR "cmake/layers.txt puts ${target} in ${folder}/, but ${here}/ builds it")
  endif()

  # The headers this target owns.
  get_property(claimed GLOBAL PROPERTY OSTRANDER_LAYER_CLAIMED_${folder})
  if(L_HEADERS)
    set(names ${L_HEADERS})
    foreach(name ${names})
      if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${name})
        message(FATAL_ERROR "ostrander_layer(${target}): ${folder}/${name} does not exist")
      endif()
    endforeach()
  else()
    file(GLOB paths CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.hpp)
    set(names)
    foreach(path ${paths})
      cmake_path(GET path FILENAME name)
      list(APPEND names ${name})
    endforeach()
    if(claimed)
      list(REMOVE_ITEM names ${claimed})
    endif()
  endif()
  set_property(GLOBAL APPEND PROPERTY OSTRANDER_LAYER_CLAIMED_${folder} ${names})

  # <build>/include/<target>/<folder>/<name> -> the header.
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  set(dir ${root}/${folder})
  file(MAKE_DIRECTORY ${dir})
  set(wanted)
  set(owned)
  foreach(name ${names})
    list(APPEND wanted ${name} ${CMAKE_CURRENT_SOURCE_DIR}/${name})
    list(APPEND owned ${folder}/${name})
  endforeach()
  foreach(file ${L_GENERATED})
    cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    cmake_path(GET file FILENAME name)
    list(APPEND wanted ${name} ${file})
    list(APPEND owned ${folder}/${name})
    target_sources(${target} PRIVATE ${file})
  endforeach()
  set(present)
  while(wanted)
    list(POP_FRONT wanted name source)
    list(APPEND present ${name})
    if(IS_SYMLINK ${dir}/${name})
      file(READ_SYMLINK ${dir}/${name} old)
      if(old STREQUAL source)
        continue()
      endif()
    endif()
    file(CREATE_LINK ${source} ${dir}/${name} SYMBOLIC)
  endwhile()
  # A header removed or moved to another target loses its link here.
  file(GLOB existing LIST_DIRECTORIES false RELATIVE ${dir} ${dir}/*)
  foreach(name ${existing})
    if(NOT name IN_LIST present)
      file(REMOVE ${dir}/${name})
    endif()
  endforeach()

  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    target_include_directories(${target} PRIVATE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
  set_property(TARGET ${target} PROPERTY OSTRANDER_LAYER_HEADERS ${owned})
  set_property(GLOBAL APPEND PROPERTY OSTRANDER_LAYER_TARGETS ${target})
endfunction()

# ostrander_layer_skipped(<target>): a layer this configuration leaves out
# (the Python module under a sanitizer, or without pybind11); the map says so,
# and the layer rule does not ask for it.
function(ostrander_layer_skipped target)
  set_property(GLOBAL APPEND PROPERTY OSTRANDER_LAYER_SKIPPED ${target})
endfunction()

# At the end of the top folder, when every target has all its sources and
# links: the map of which files each layer target compiles and owns and which
# layer targets it links, for the layer_rule test.
function(_ostrander_layer_write_map)
  get_property(targets GLOBAL PROPERTY OSTRANDER_LAYER_TARGETS)
  set(text "# Written by cmake/OstranderLayer.cmake: the layer targets, their files and links.\n")
  get_property(skipped GLOBAL PROPERTY OSTRANDER_LAYER_SKIPPED)
  foreach(target ${skipped})
    string(APPEND text "skipped ${target}\n")
  endforeach()
  foreach(target ${targets})
    get_property(folder GLOBAL PROPERTY OSTRANDER_LAYER_FOLDER_${target})
    string(APPEND text "target ${target} ${folder}\n")
    get_target_property(source_dir ${target} SOURCE_DIR)
    get_target_property(sources ${target} SOURCES)
    foreach(source ${sources})
      if(source MATCHES "\\$<")
        continue()
      endif()
      # Generated files (in the build folder) are not checked.
      cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir} NORMALIZE)
      cmake_path(IS_PREFIX CMAKE_BINARY_DIR ${source} NORMALIZE generated)
      file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${source})
      if(NOT generated AND NOT relative MATCHES "^\\.\\./")
        string(APPEND text "source ${relative}\n")
      endif()
    endforeach()
    get_property(owned TARGET ${target} PROPERTY OSTRANDER_LAYER_HEADERS)
    foreach(header ${owned})
      string(APPEND text "header ${header}\n")
    endforeach()
    # What it links, and what a library hands on to those linking it (the
    # include folders come along these); only links to layer targets count.
    foreach(kind LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(libraries ${target} ${kind})
      set(layers)
      foreach(library ${libraries})
        if(library IN_LIST targets)
          list(APPEND layers ${library})
        endif()
      endforeach()
      list(REMOVE_DUPLICATES layers)
      string(TOLOWER ${kind} key)
      list(JOIN layers " " layers)
      string(APPEND text "${key} ${layers}\n")
    endforeach()
  endforeach()
  file(CONFIGURE OUTPUT ${OSTRANDER_LAYER_MAP} CONTENT "${text}" @ONLY)
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _ostrander_layer_write_map)
