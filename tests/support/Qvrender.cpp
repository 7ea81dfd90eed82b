#include "Qvrender.h"

#include <cstdio>
#include <memory>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qv::test {

namespace {

struct TFileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

std::string ReadAll(std::FILE* f) {
  std::string s;
  std::rewind(f);
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
  return s;
}

}  // namespace

TRunResult RunProgram(const std::string& Program, const std::vector<std::string>& Args) {
  TRunResult r;
  // Both outputs go to anonymous files rather than pipes, so a chatty program never blocks.
  const TFile out(std::tmpfile()), err(std::tmpfile());
  if (!out || !err) return r;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(Program.c_str()));
  for (const std::string& a : Args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fileno(out.get()), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fileno(err.get()), STDERR_FILENO);
  pid_t pid = 0;
  const int started = posix_spawn(&pid, Program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) return r;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return r;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadAll(out.get());
  r.err = ReadAll(err.get());
  return r;
}

}  // namespace qv::test
