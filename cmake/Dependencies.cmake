# Third-party libraries, found once and exposed as imported targets.

find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Svg Test)
find_package(OpenImageIO REQUIRED)

# Debian's split OpenCV -dev packages ship no CMake config; the two modules we use are found by hand.
find_path(QV_OPENCV_INCLUDE_DIR opencv2/imgproc.hpp PATH_SUFFIXES opencv4 REQUIRED)
find_library(QV_OPENCV_CORE_LIB opencv_core REQUIRED)
find_library(QV_OPENCV_IMGPROC_LIB opencv_imgproc REQUIRED)
if(NOT TARGET qv::opencv)
  add_library(qv::opencv INTERFACE IMPORTED)
  target_include_directories(qv::opencv SYSTEM INTERFACE ${QV_OPENCV_INCLUDE_DIR})
  target_link_libraries(qv::opencv INTERFACE ${QV_OPENCV_IMGPROC_LIB} ${QV_OPENCV_CORE_LIB})
endif()

find_package(PkgConfig REQUIRED)
pkg_check_modules(PIXMAN IMPORTED_TARGET pixman-1)

# Where Qt Widgets' headers are (QtWidgets/QWidget ...), for the toolkit-free folders' check.
get_target_property(_qv_widgets_includes Qt6::Widgets INTERFACE_INCLUDE_DIRECTORIES)
foreach(_dir IN LISTS _qv_widgets_includes)
  if(_dir MATCHES "QtWidgets$")
    set(QV_QT_WIDGETS_INCLUDE_DIR "${_dir}")
  endif()
endforeach()
include(ToolkitFree)
