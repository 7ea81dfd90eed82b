# What `cmake --install` puts under its prefix, and the Debian package `cpack -G DEB` makes of it:
#
#   bin/qveditor, bin/qvrender                      (install rules in src/app)
#   lib/qv/<plug-in>.so                             every MODULE library of the build: our plug-ins,
#                                                   found there from bin/ (raster/PluginHost.cpp)
#   share/applications/qveditor.desktop             the editor's desktop entry (opens .QV files)
#   share/mime/packages/qveditor.xml                the MIME type of .QV project files
#   share/icons/hicolor/{scalable,48x48,256x256}/apps/qveditor.{svg,png}
#   share/man/man1/qvrender.1.gz, qveditor.1.gz     made by qv_manpages from the usage's tables
#   share/qv/examples/                              the example pages
#   share/doc/qv/copyright, changelog.gz
#
# Left out of sanitizer and fuzzing builds, whose tools would run instrumented at build time.
if(QV_SANITIZE OR QV_FUZZ)
  return()
endif()

set(QV_PACKAGE_MAINTAINER "QV developers <qv@example.org>" CACHE STRING
    "The Debian package's maintainer: name <address>")

# Our plug-ins: every MODULE library in the build, wherever it is declared, so that a new plug-in
# is installed without a change here.
function(qv_plugin_targets dir out)
  set(found)
  get_property(targets DIRECTORY "${dir}" PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "MODULE_LIBRARY")
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY "${dir}" PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    qv_plugin_targets("${sub}" more)
    list(APPEND found ${more})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()
qv_plugin_targets("${CMAKE_SOURCE_DIR}" QV_PLUGINS)
foreach(plugin IN LISTS QV_PLUGINS)
  # Linked against libc even when it calls nothing of it directly (Debian's linker drops libraries
  # a module does not call; Debian's policy asks every shared object to name libc).
  target_link_options(${plugin} PRIVATE "LINKER:--push-state,--no-as-needed,-lc,--pop-state")
endforeach()
install(TARGETS ${QV_PLUGINS} LIBRARY DESTINATION lib/qv)
# Their file names, one a line, for scripts/test-package.sh to find each in the package.
list(TRANSFORM QV_PLUGINS REPLACE "(.+)" "$<TARGET_FILE_NAME:\\1>" OUTPUT_VARIABLE QV_PLUGIN_FILES)
list(JOIN QV_PLUGIN_FILES "\n" QV_PLUGIN_FILES)
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/install-files/plugins.txt CONTENT "${QV_PLUGIN_FILES}\n")

# Files made at build time: the manual pages, the icon's bitmaps, the package's changelog.
set(QV_GENERATED ${CMAKE_BINARY_DIR}/install-files)
set(QV_ICON ${CMAKE_SOURCE_DIR}/src/app/qveditor/qveditor.svg)
add_custom_command(
  OUTPUT ${QV_GENERATED}/qvrender.1 ${QV_GENERATED}/qveditor.1 ${QV_GENERATED}/qvrender.1.gz
         ${QV_GENERATED}/qveditor.1.gz
  COMMAND qv_manpages ${QV_GENERATED}
  COMMAND gzip -9nkf ${QV_GENERATED}/qvrender.1 ${QV_GENERATED}/qveditor.1
  DEPENDS qv_manpages
  COMMENT "Writing the manual pages"
  VERBATIM)
set(QV_ICON_PNGS)
foreach(size 48 256)
  add_custom_command(
    OUTPUT ${QV_GENERATED}/icon-${size}/qveditor.png
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QV_GENERATED}/icon-${size}
    COMMAND qv_render_icon ${QV_ICON} ${size} ${QV_GENERATED}/icon-${size}/qveditor.png
    DEPENDS qv_render_icon ${QV_ICON}
    COMMENT "Drawing the ${size} px icon"
    VERBATIM)
  list(APPEND QV_ICON_PNGS ${QV_GENERATED}/icon-${size}/qveditor.png)
  install(FILES ${QV_GENERATED}/icon-${size}/qveditor.png DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
# Dated by the last commit (or SOURCE_DATE_EPOCH), so that configuring again changes nothing.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C ${CMAKE_SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE QV_SOURCE_TIME OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(QV_SOURCE_TIME)
    set(ENV{SOURCE_DATE_EPOCH} ${QV_SOURCE_TIME})
  endif()
endif()
string(TIMESTAMP QV_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_SOURCE_DIR}/cmake/package/changelog.in ${QV_GENERATED}/changelog @ONLY)
add_custom_command(
  OUTPUT ${QV_GENERATED}/changelog.gz
  COMMAND gzip -9nkf ${QV_GENERATED}/changelog
  DEPENDS ${QV_GENERATED}/changelog
  VERBATIM)
add_custom_target(qv_install_files ALL
  DEPENDS ${QV_GENERATED}/qvrender.1.gz ${QV_GENERATED}/qveditor.1.gz ${QV_ICON_PNGS} ${QV_GENERATED}/changelog.gz)

# man reads the pages without a warning (as lintian checks them).
find_program(QV_MAN_PROGRAM man)
if(QV_BUILD_TESTS AND QV_MAN_PROGRAM)
  add_test(NAME ManualPages.ManReadsThemWithoutWarnings
           COMMAND sh -c "for page in \"$@\"; do \
                            warnings=$(LC_ALL=C.UTF-8 ${QV_MAN_PROGRAM} --warnings -E UTF-8 -l -Tutf8 -Z \"$page\" 2>&1 >/dev/null); \
                            [ -z \"$warnings\" ] || { echo \"$page: $warnings\"; exit 1; }; \
                          done" sh ${QV_GENERATED}/qvrender.1 ${QV_GENERATED}/qveditor.1)
endif()

install(FILES ${QV_GENERATED}/qvrender.1.gz ${QV_GENERATED}/qveditor.1.gz DESTINATION share/man/man1)
install(FILES ${CMAKE_SOURCE_DIR}/src/app/qveditor/qveditor.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/src/app/qveditor/qveditor-mime.xml DESTINATION share/mime/packages
        RENAME qveditor.xml)
install(FILES ${QV_ICON} DESTINATION share/icons/hicolor/scalable/apps)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION share/qv/examples USE_SOURCE_PERMISSIONS)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/package/copyright ${QV_GENERATED}/changelog.gz DESTINATION share/doc/qv)

# The Debian package: its dependencies are those of the binaries (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qv)
set(CPACK_PACKAGE_VENDOR "QV developers")
set(CPACK_PACKAGE_CONTACT "${QV_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "broadcast graphics page editor and headless renderer")
set(CPACK_PACKAGE_DESCRIPTION [[
QV edits the on-screen graphics pages of a broadcast channel (character-
generator templates): still images, image sequences, text, a live clock and a
text crawl on one page, with keyframe tracks at 25 frames per second, saved
as .QV project files.

qveditor is the editor. qvrender composes the same pages without a window as
pictures, numbered pictures, video clips, a live stream or one page per row
of a table (also as a Slurm job array).]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The text layers' default face (Tahoma, from Wine) and a face for every other script.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine, fonts-dejavu-core")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
