#include "app/qvrender/Progress.h"

#include <unistd.h>

namespace qv::render {

std::string FormatProgress(int done, int total, double seconds) {
  char buf[128];
  const int percent = total > 0 ? static_cast<int>(static_cast<long long>(done) * 100 / total) : 100;
  int n = std::snprintf(buf, sizeof buf, "frame %d/%d  %3d%%", done, total, percent);
  if (done > 0 && seconds > 0) {
    const double fps = done / seconds;
    const long long left = static_cast<long long>((total - done) / fps + 0.5);
    n += std::snprintf(buf + n, sizeof buf - std::size_t(n), "  %.1f fps  %lld:%02lld left", fps, left / 60, left % 60);
  }
  return std::string(buf, std::size_t(n));
}

TProgressLine::TProgressLine(int total, bool wanted)
    : fTotal(total), fOn(wanted && ::isatty(STDERR_FILENO) == 1), fStart(std::chrono::steady_clock::now()), fLast(fStart) {}

TProgressLine::~TProgressLine() {
  if (fDrawn) std::fputs("\n", stderr);
}

void TProgressLine::Update(int done) {
  fDone = done;
  if (!fOn) return;
  const auto now = std::chrono::steady_clock::now();
  if (fDrawn && now - fLast < std::chrono::milliseconds(100) && done < fTotal) return;
  fLast = now;
  Draw(done);
}

void TProgressLine::Finish() {
  if (!fOn) return;
  Draw(fDone);
  std::fputs("\n", stderr);
  fDrawn = false;
}

void TProgressLine::Draw(int done) {
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - fStart).count();
  // Back to the line's start and clear it, so that a shorter line leaves nothing behind.
  std::fprintf(stderr, "\r%s\x1b[K", FormatProgress(done, fTotal, seconds).c_str());
  std::fflush(stderr);
  fDrawn = true;
}

}  // namespace qv::render
