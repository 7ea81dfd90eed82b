#pragma once
// A small file system a test makes for itself: a tmpfs of a given size mounted on a fresh folder,
// which the test can fill up or make read-only; unmounted and removed again at the end. Mounting
// needs root (or CAP_SYS_ADMIN); where it is refused, Mounted() is false and Error() says why, so
// the test can skip with that message.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace qv::test {

class TScratchMount {
 public:
  explicit TScratchMount(std::size_t Bytes) : fOptions("size=" + std::to_string(Bytes) + ",mode=0755") {
    std::string tmpl = (std::filesystem::temp_directory_path() / "qv-mount-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) {
      fError = std::string("cannot make a mount point: ") + std::strerror(errno);
      return;
    }
    fPath = tmpl;
    if (::mount("tmpfs", fPath.c_str(), "tmpfs", 0, fOptions.c_str()) != 0) {
      fError = std::string("cannot mount a tmpfs (needs root or CAP_SYS_ADMIN): ") + std::strerror(errno);
      return;
    }
    fMounted = true;
  }
  ~TScratchMount() {
    if (fMounted) ::umount2(fPath.c_str(), MNT_DETACH);
    std::error_code ec;
    if (!fPath.empty()) std::filesystem::remove_all(fPath, ec);
  }
  TScratchMount(const TScratchMount&) = delete;
  TScratchMount& operator=(const TScratchMount&) = delete;

  bool Mounted() const { return fMounted; }
  const std::string& Error() const { return fError; }
  const std::filesystem::path& Path() const { return fPath; }

  // Remounts the file system read-only: nobody, root included, can create or change a file.
  bool MakeReadOnly() {
    if (::mount(nullptr, fPath.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, fOptions.c_str()) != 0) {
      fError = std::string("cannot remount read-only: ") + std::strerror(errno);
      return false;
    }
    return true;
  }

  // Fills the file system with the file "filler" until it is full, then gives back about Leave
  // bytes (whole pages), so that the next write larger than that runs out of space part way.
  void Fill(std::size_t Leave) {
    const std::string filler = (fPath / "filler").string();
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    static const char block[4096] = {};
    std::size_t written = 0;
    for (;;) {
      const ssize_t n = ::write(fd, block, sizeof block);
      if (n <= 0) break;
      written += static_cast<std::size_t>(n);
    }
    if (::ftruncate(fd, static_cast<off_t>(written > Leave ? written - Leave : 0)) != 0) fError = "cannot shrink the filler";
    ::close(fd);
  }

 private:
  std::string fOptions;
  std::filesystem::path fPath;
  std::string fError;
  bool fMounted = false;
};

}  // namespace qv::test
