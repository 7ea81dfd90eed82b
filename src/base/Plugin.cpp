#include "base/Plugin.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <vector>

namespace qv {

namespace {

std::string ExecutableFolder() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string path(buf, std::size_t(n));
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The table the library at Path exports under Entry, or nullptr.
const void* Open(const std::string& path, const char* entryName, int abi) {
  // Handles stay open for the life of the process: the plug-ins' libraries keep state.
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return nullptr;
  const auto entry = reinterpret_cast<TQvPluginEntry>(::dlsym(handle, entryName));
  const void* table = entry ? entry() : nullptr;
  return table && *static_cast<const int*>(table) == abi ? table : nullptr;
}

}  // namespace

const void* TPluginSlot::Table() {
  std::lock_guard<std::mutex> guard(fLock);
  if (fSearched) return fTable;
  fSearched = true;
  std::vector<std::string> candidates;
  if (!fChosen.empty()) {
    candidates.push_back(fChosen);
  } else {
    const std::string here = ExecutableFolder();
    if (!here.empty()) {
      candidates.push_back(here + "/" + fFile);
      candidates.push_back(here + "/../lib/qv/" + fFile);
    }
    if (fBuilt != nullptr && *fBuilt) candidates.push_back(fBuilt);
  }
  for (const std::string& c : candidates)
    if ((fTable = Open(c, fEntry, fAbi))) break;
  return fTable;
}

void TPluginSlot::Choose(const std::string& path) {
  std::lock_guard<std::mutex> guard(fLock);
  fChosen = path;
  fSearched = false;
  fTable = nullptr;
}

}  // namespace qv
