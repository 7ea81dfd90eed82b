# Folders below the editor's widgets never include a Qt Widgets header. qv_toolkit_free(TARGET)
# makes TARGET's build depend on a scan of its sources and headers: an include of
# <QtWidgets/...> or of any header that Qt Widgets ships (<QWidget>, <QDialog>, ...) fails the
# build and names the file and the header.
function(qv_toolkit_free target)
  get_target_property(dir ${target} SOURCE_DIR)
  file(GLOB_RECURSE files CONFIGURE_DEPENDS "${dir}/*.h" "${dir}/*.cpp")
  set(stamp "${CMAKE_CURRENT_BINARY_DIR}/${target}.toolkit-free")
  add_custom_command(
    OUTPUT "${stamp}"
    COMMAND ${CMAKE_COMMAND} "-DWIDGETS_DIR=${QV_QT_WIDGETS_INCLUDE_DIR}" "-DSTAMP=${stamp}"
            "-DFILES=${files}" -P "${PROJECT_SOURCE_DIR}/cmake/CheckToolkitFree.cmake"
    DEPENDS ${files} "${PROJECT_SOURCE_DIR}/cmake/CheckToolkitFree.cmake"
    COMMENT "Checking that ${target} includes no Qt Widgets header"
    VERBATIM)
  add_custom_target(${target}_toolkit_free DEPENDS "${stamp}")
  add_dependencies(${target} ${target}_toolkit_free)
endfunction()
