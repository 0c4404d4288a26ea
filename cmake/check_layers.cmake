# Checks every #include of the layered folders against their rows in
# layers.cmake: an include that resolves (as the compiler does: "..." beside
# the file, then from the top of the tree; <...> from the top only) into
# another folder of the tree must name a folder the row allows. Each other
# one is said as "file:line: folder may not include path", and the run
# fails.
#   cmake -DSOURCE_DIR=<tree> -P check_layers.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/layers.cmake)

# The row a path of the tree belongs to: its first folder, or its first two
# under tools/.
function(layer_of path out)
  string(REGEX MATCH "^(tools/[^/]+|[^/]+)/" key "${path}")
  string(REGEX REPLACE "/$" "" key "${key}")
  set(${out} "${key}" PARENT_SCOPE)
endfunction()

set(broken 0)
foreach(folder ${NWD_LAYERS})
  file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}
       ${SOURCE_DIR}/${folder}/*.cpp ${SOURCE_DIR}/${folder}/*.h)
  foreach(file ${files})
    get_filename_component(dir ${file} DIRECTORY)
    file(READ ${SOURCE_DIR}/${file} text)
    set(text "\n${text}")
    set(line 0)
    while(TRUE)
      string(REGEX MATCH "\n[ \t]*#[ \t]*include[ \t]*([<\"])([^\">]+)[\">]" found "${text}")
      if(NOT found)
        break()
      endif()
      set(quoted "${CMAKE_MATCH_1}")
      set(include "${CMAKE_MATCH_2}")
      string(FIND "${text}" "${found}" at)
      string(LENGTH "${found}" length)
      string(SUBSTRING "${text}" 0 ${at} before)
      string(REGEX MATCHALL "\n" ends "${before}")
      list(LENGTH ends n)
      math(EXPR line "${line} + ${n} + 1")
      math(EXPR at "${at} + ${length}")
      string(SUBSTRING "${text}" ${at} -1 text)

      if(quoted STREQUAL "\"" AND EXISTS ${SOURCE_DIR}/${dir}/${include})
        cmake_path(SET target NORMALIZE "${dir}/${include}")
      elseif(EXISTS ${SOURCE_DIR}/${include})
        cmake_path(SET target NORMALIZE "${include}")
      else()
        continue()  # a generated header or the system's
      endif()
      layer_of("${target}" to)
      if(NOT to STREQUAL folder AND NOT to IN_LIST NWD_LAYER_USES_${folder})
        message(NOTICE "${file}:${line}: ${folder} may not include ${target}")
        math(EXPR broken "${broken} + 1")
      endif()
    endwhile()
  endforeach()
endforeach()
if(broken)
  message(FATAL_ERROR "${broken} include(s) against the layers of cmake/layers.cmake")
endif()
