#include "ServeProcess.h"

#include "ServeFixtures.h"
#include "support/Files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>

namespace qv::test {

using namespace std::chrono_literals;

TProcess::TProcess(const std::vector<std::string>& args, int out, std::string errFile) : fErrFile(std::move(errFile)) {
  // Emptied here, so that what a process run before left in it is not read as this one's.
  WriteBytes(fErrFile, "");
  // Made before the fork: the child of a process with threads only calls what is safe there.
  std::vector<char*> argv{const_cast<char*>(QVRENDER_BIN)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  fPid = ::fork();
  if (fPid == 0) {
    ::dup2(out, STDOUT_FILENO);
    const int err = ::open(fErrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(err, STDERR_FILENO);
    // Every other descriptor of the test (the read ends of its pipes) stays out of the child.
    for (int fd = 3; fd < 1024; ++fd) ::close(fd);
    ::execv(QVRENDER_BIN, argv.data());
    ::_exit(127);
  }
  if (out > STDERR_FILENO) ::close(out);
}

TProcess::~TProcess() {
  if (fPid > 0) {
    ::kill(fPid, SIGKILL);
    ::waitpid(fPid, nullptr, 0);
  }
}

std::string TProcess::Err() const { return ReadBytes(fErrFile); }

int TProcess::WaitForPort() {
  static const std::regex line("on http://127\\.0\\.0\\.1:([0-9]+)/");
  const auto until = std::chrono::steady_clock::now() + 60s;
  while (std::chrono::steady_clock::now() < until) {
    std::smatch m;
    const std::string err = Err();
    if (std::regex_search(err, m, line)) return std::stoi(m[1]);
    int status = 0;
    if (::waitpid(fPid, &status, WNOHANG) == fPid) {
      fPid = -1;
      return -1;
    }
    std::this_thread::sleep_for(10ms);
  }
  return -1;
}

int TProcess::Stop(int signal, int seconds) {
  if (fPid <= 0) return -1;
  ::kill(fPid, signal);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  pid_t done = 0;
  while ((done = ::waitpid(fPid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(5ms);
  if (done == 0) {
    ::kill(fPid, SIGKILL);
    ::waitpid(fPid, nullptr, 0);
    fPid = -1;
    return -1;
  }
  fPid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TFrameReader::TFrameReader(int fd, std::size_t frameBytes) : fFd(fd), fBytes(frameBytes) {
  fThread = std::thread([this] {
    std::vector<char> frame(fBytes);
    for (;;) {
      std::size_t got = 0;
      while (got < fBytes) {
        const ssize_t n = ::read(fFd, frame.data() + got, fBytes - got);
        if (n <= 0) break;
        got += std::size_t(n);
      }
      if (got < fBytes) break;
      const std::uint64_t h = Fnv1a(frame.data(), frame.size());
      std::lock_guard<std::mutex> hold(fLock);
      fHashes.push_back(h);
    }
    fEnded = true;
  });
}

TFrameReader::~TFrameReader() {
  ::close(fFd);
  fThread.join();
}

std::size_t TFrameReader::Count() const {
  std::lock_guard<std::mutex> hold(fLock);
  return fHashes.size();
}

std::vector<std::uint64_t> TFrameReader::Hashes() const {
  std::lock_guard<std::mutex> hold(fLock);
  return fHashes;
}

bool TFrameReader::WaitFor(std::size_t n) const {
  const auto until = std::chrono::steady_clock::now() + 60s;
  while (Count() < n && !fEnded && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(2ms);
  return Count() >= n;
}

}  // namespace qv::test
