#pragma once
// The command line of qvrender serve (the arguments after "serve").
#include "app/qvrender/Options.h"

#include <optional>
#include <string>
#include <vector>

namespace qv::render {

struct TServeOptions {
  std::string Rundown;             // RUNDOWN.json
  std::string Output;              // --raw or --y4m: "-" or a file or FIFO
  TStreamFormat Stream = TStreamFormat::sfRaw;
  std::string Host = "127.0.0.1";  // --listen HOST:PORT
  int Port = 8080;                 // 0: any free port (the one taken is printed)
  std::string Token;               // --token: what every request must carry
  std::string Background;          // --y4m: the picture under the frames
  std::optional<TTimeOfDay> Time;  // --time: clock layers start there at each take
};

// Whether Host is a loopback address ("127.x.y.z", "::1", "localhost").
bool IsLoopbackHost(const std::string& Host);

// On a bad command line the result is empty and Error says what was wrong (one line).
std::optional<TServeOptions> ParseServeOptions(const std::vector<std::string>& Args, std::string& Error);

}  // namespace qv::render
