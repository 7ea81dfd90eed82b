// The resampling plug-in: OpenCV's bicubic resize behind a small C interface, opened by the raster
// engine the first time a picture is scaled (OpenCV's core brings BLAS, LAPACK, TBB and OpenMP
// into the process, which costs every start that never scales anything).
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <exception>

#include "raster/Plugins.h"

namespace {

int Resize(const unsigned char* src, int sw, int sh, unsigned char* dst, int dw, int dh) {
  try {
    static const bool single = [] {
      cv::setNumThreads(1);  // the caller's thread: a pool would compete with ours for the cores
      return true;
    }();
    (void)single;
    const cv::Mat from(sh, sw, CV_8UC4, const_cast<unsigned char*>(src));
    cv::Mat to(dh, dw, CV_8UC4, dst);
    cv::resize(from, to, to.size(), 0, 0, cv::INTER_CUBIC);
    return 0;
  } catch (...) {
    return 1;
  }
}

const TQvResizePlugin kPlugin = {QV_RESIZE_ABI, &Resize};

}  // namespace

extern "C" __attribute__((visibility("default"))) const void* qv_resize_plugin(void) { return &kPlugin; }
