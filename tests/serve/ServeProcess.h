#pragma once
// qvrender as a process the test starts and stops by its id: serve on a free loopback port (the
// port it took is read from its first line), or play; its standard output goes where the test
// says (a pipe it reads, one it never reads, /dev/null), its standard error to a file.
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qv::test {

class TProcess {
 public:
  // Runs qvrender with Args, its standard output on Out (a descriptor, closed here in the
  // parent), its standard error into ErrFile.
  TProcess(const std::vector<std::string>& Args, int Out, std::string ErrFile);
  ~TProcess();  // kills it if it still runs
  TProcess(const TProcess&) = delete;
  TProcess& operator=(const TProcess&) = delete;

  pid_t Pid() const { return fPid; }
  // The port of the "serving ... on http://127.0.0.1:PORT/" line; -1 when none came in 60 s or
  // the process ended first.
  int WaitForPort();
  // Sends Signal and waits at most Seconds for the end. Answers the exit status, or -1 when it
  // did not end (then it is killed) or ended by a signal.
  int Stop(int Signal, int Seconds = 10);
  std::string Err() const;

 private:
  pid_t fPid = -1;
  std::string fErrFile;
};

// Reads frames of FrameBytes from a pipe on a thread of its own and keeps a hash of each.
class TFrameReader {
 public:
  TFrameReader(int Fd, std::size_t FrameBytes);
  ~TFrameReader();  // closes the pipe and joins
  std::size_t Count() const;
  std::vector<std::uint64_t> Hashes() const;
  // Waits until Count() reaches N (at most 60 s); false when the pipe ended first.
  bool WaitFor(std::size_t N) const;

 private:
  int fFd;
  std::size_t fBytes;
  mutable std::mutex fLock;
  std::vector<std::uint64_t> fHashes;
  std::atomic<bool> fEnded{false};
  std::thread fThread;
};

}  // namespace qv::test
