# The layer check runs before anything compiles: every library depends on it,
# so a build of any target fails on an include that breaks the layers.
set(TARNIC_LAYER_FOLDERS core link config utilities flash terminal loopback fleet journal screens app cli sim)
set(TARNIC_LAYER_SOURCES "")
foreach(folder IN LISTS TARNIC_LAYER_FOLDERS)
  file(GLOB_RECURSE found CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/${folder}/*.h" "${PROJECT_SOURCE_DIR}/${folder}/*.cpp")
  list(APPEND TARNIC_LAYER_SOURCES ${found})
endforeach()
get_target_property(qt_widgets_dirs Qt6::Widgets INTERFACE_INCLUDE_DIRECTORIES)
list(FILTER qt_widgets_dirs INCLUDE REGEX "/QtWidgets$")
list(GET qt_widgets_dirs 0 TARNIC_QT_WIDGETS_DIR)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/layers.stamp
  COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR} -DSTAMP=${PROJECT_BINARY_DIR}/layers.stamp
          -DWIDGETS_DIR=${TARNIC_QT_WIDGETS_DIR} -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake
  DEPENDS ${TARNIC_LAYER_SOURCES} ${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake
  COMMENT "Checking the includes against the layers"
  VERBATIM)
add_custom_target(check_layers ALL DEPENDS ${PROJECT_BINARY_DIR}/layers.stamp)
