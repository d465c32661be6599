# Each row puts one file with one bad include into an empty tree; the layer
# check must fail on it and name the file, the include and the rule.
#   cmake -DCHECK=CheckLayers.cmake -DWIDGETS_DIR=... -DWORK=DIR -P badincludes.cmake
set(rows
  "sim/a.cpp|link/link.h|simulator includes no program header"
  "link/a.cpp|sim/controller.h|program includes no simulator header"
  "link/a.cpp|QWidget|includes no widget header"
  "cli/a.cpp|QtWidgets/QLabel|includes no widget header"
  "core/a.h|core/widgets/twips.h|layer above"
  "config/a.cpp|config/screens/binding.h|layer above"
  "link/fake/a.cpp|utilities/actions.h|layer above"
  "flash/a.cpp|loopback/loopbacktest.h|one operation does not include another"
  "cli/a.cpp|link/screens/commform.h|never screens"
  "app/a.cpp|cli/context.h|only tarnic-cli"
  "flash/screens/a.cpp|config/screens/binding.h|screens share only"
  "utilities/a.cpp|tests/common/apprig.h|nothing of tests/"
  "journal/a.cpp|config/program.h|the journal uses only core and link"
)
set(failures 0)
foreach(row IN LISTS rows)
  string(REPLACE "|" ";" row "${row}")
  list(GET row 0 file)
  list(GET row 1 header)
  list(GET row 2 rule)
  file(REMOVE_RECURSE "${WORK}")
  file(WRITE "${WORK}/${file}" "#include <QString>\n#include \"${header}\"\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${WORK} -DWIDGETS_DIR=${WIDGETS_DIR} -P ${CHECK}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(FIND "${out}" "${file}: #include ${header}: " at_line)
  string(FIND "${out}" "${rule}" at_rule)
  if(rc EQUAL 0 OR at_line EQUAL -1 OR at_rule EQUAL -1)
    message("${file} including ${header}: expected a failure naming \"${rule}\", got rc ${rc}:\n${out}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK}")
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} bad include(s) passed the layer check")
endif()
