# Checks every #include of the program's own folders against the layers:
#   core < link < operations (config, utilities, flash, terminal, loopback, fleet)
#        < screens (*/screens, core/widgets, screens/) < app
# The journal stands beside the operations and uses only core and link: the
# operations, their front ends and the screens may record into it.
# cli uses operations, link and core; sim uses nothing of the program and
# nothing of the program uses sim. Logic (core, link, operations, journal,
# cli) includes no Qt Widgets header. Operations do not include each other.
# tests/, bench/ and fuzz/ are exempt.
#
#   cmake -DROOT=DIR -DWIDGETS_DIR=QT_WIDGETS_INCLUDE_DIR [-DSTAMP=FILE] -P CheckLayers.cmake
# Prints one line per violation (file, include, rule) and fails; writes STAMP
# when the tree is clean.

cmake_minimum_required(VERSION 3.25)

set(operations config utilities flash terminal loopback fleet)
set(exempt tests bench fuzz)
set(known core link ${operations} journal screens app cli sim ${exempt})

# Layer of a path relative to ROOT: sets <out>_layer, <out>_rank and
# <out>_unit (the folder a file may always include from). Empty layer: not
# the program's.
function(classify path out)
  string(REGEX MATCH "^[^/]+" top "${path}")
  set(layer "")
  set(rank "")
  set(unit "${top}")
  if(top STREQUAL "sim")
    set(layer simulator)
  elseif(path MATCHES "^core/widgets/" OR path MATCHES "^[^/]+/screens/" OR top STREQUAL "screens")
    set(layer screens)
    set(rank 3)
    string(REGEX MATCH "^(core/widgets|[^/]+/screens|screens)" unit "${path}")
  elseif(top STREQUAL "core")
    set(layer core)
    set(rank 0)
  elseif(top STREQUAL "link")
    set(layer link)
    set(rank 1)
  elseif(top IN_LIST operations)
    set(layer operation)
    set(rank 2)
  elseif(top STREQUAL "journal")
    set(layer journal)
    set(rank 2)
  elseif(top STREQUAL "cli")
    set(layer cli)
    set(rank 2)
  elseif(top STREQUAL "app")
    set(layer app)
    set(rank 4)
  endif()
  set(${out}_layer "${layer}" PARENT_SCOPE)
  set(${out}_rank "${rank}" PARENT_SCOPE)
  set(${out}_unit "${unit}" PARENT_SCOPE)
endfunction()

# The rule a file (from_*) breaks by including a program header (to_*), or
# empty.
function(broken_rule out)
  set(rule "")
  if(from_unit STREQUAL to_unit)
    # A folder's own headers are always fine.
  elseif(from_layer STREQUAL "simulator")
    set(rule "the simulator includes no program header")
  elseif(to_layer STREQUAL "simulator")
    set(rule "the program includes no simulator header")
  elseif(to_layer STREQUAL "cli")
    set(rule "only tarnic-cli includes cli headers")
  elseif(from_layer STREQUAL "journal" AND to_rank GREATER 1)
    set(rule "the journal uses only core and link, not ${to_unit}")
  elseif(from_layer STREQUAL "cli" AND to_rank GREATER 2)
    set(rule "cli uses operations, link and core, never ${to_layer}")
  elseif(to_rank GREATER from_rank)
    set(rule "${from_layer} may not include a header of the ${to_layer} layer above it")
  elseif(from_layer STREQUAL "operation" AND to_layer STREQUAL "operation")
    set(rule "one operation does not include another (${from_unit} -> ${to_unit})")
  elseif(from_layer STREQUAL "screens" AND to_layer STREQUAL "screens"
         AND NOT to_unit MATCHES "^(core/widgets|screens)$")
    set(rule "screens share only core/widgets and screens/, not ${to_unit}")
  endif()
  set(${out} "${rule}" PARENT_SCOPE)
endfunction()

if(NOT ROOT OR NOT WIDGETS_DIR)
  message(FATAL_ERROR "CheckLayers: pass -DROOT=... and -DWIDGETS_DIR=...")
endif()

set(violations 0)
file(GLOB tops LIST_DIRECTORIES true RELATIVE "${ROOT}" "${ROOT}/*")
foreach(top IN LISTS tops)
  # A build tree has no CMakeLists.txt; packaging and the like have no C++.
  if(EXISTS "${ROOT}/${top}/CMakeLists.txt" AND NOT top IN_LIST known)
    file(GLOB_RECURSE sources "${ROOT}/${top}/*.h" "${ROOT}/${top}/*.cpp")
    if(sources)
      message("${top}/: C++ sources in a folder with no layer; give it one in cmake/CheckLayers.cmake")
      math(EXPR violations "${violations} + 1")
    endif()
  endif()
endforeach()

set(globs "")
foreach(top IN LISTS known)
  if(NOT top IN_LIST exempt)
    list(APPEND globs "${ROOT}/${top}/*.h" "${ROOT}/${top}/*.cpp")
  endif()
endforeach()
file(GLOB_RECURSE files RELATIVE "${ROOT}" ${globs})

foreach(file IN LISTS files)
  classify("${file}" from)
  get_filename_component(dir "${file}" DIRECTORY)
  file(STRINGS "${ROOT}/${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*" "\\1" header "${line}")
    set(rule "")
    if(EXISTS "${ROOT}/${dir}/${header}" AND NOT IS_DIRECTORY "${ROOT}/${dir}/${header}")
      file(RELATIVE_PATH target "${ROOT}" "${ROOT}/${dir}/${header}")
    else()
      set(target "${header}")
    endif()
    classify("${target}" to)
    string(REGEX MATCH "^[^/]+" target_top "${target}")
    if(target_top IN_LIST exempt)
      set(rule "the program includes nothing of tests/, bench/ or fuzz/")
    elseif(target_top IN_LIST known)
      broken_rule(rule)
    elseif(from_layer MATCHES "^(core|link|operation|journal|cli)$"
           AND (header MATCHES "^QtWidgets(/|$)" OR EXISTS "${WIDGETS_DIR}/${header}"))
      set(rule "${from_layer} code includes no widget header")
    endif()
    if(rule)
      message("${file}: #include ${header}: ${rule}")
      math(EXPR violations "${violations} + 1")
    endif()
  endforeach()
endforeach()

if(violations GREATER 0)
  message(FATAL_ERROR "${violations} include(s) break the layers")
endif()
if(STAMP)
  file(TOUCH "${STAMP}")
endif()
