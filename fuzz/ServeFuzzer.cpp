// Fuzz target: the server's request handler (method, path, query, headers, body) as qvrender serve
// runs it, over the serve tests' rundown of two small pages in a folder of its own, with its
// worker cueing pages and a program that moves on a frame after every request (so takes and take
// outs happen). The seeds are the requests of the tests' table (fuzz/corpus/serve).
// An input is a request in text:
//   METHOD TARGET
//   Name: value          (headers, one a line, up to an empty line)
//
//   BODY                 (the rest)
// What must hold: every answer has a status from 200 to 599 and a JSON body where it says so,
// an error (4xx, 5xx) leaves the rundown (and its file) as it was, and the file always reads.
#include "../tests/serve/ServeFixtures.h"
#include "FuzzSupport.h"
#include "serve/Api.h"
#include "serve/OnAir.h"
#include "serve/Program.h"
#include "serve/Rundown.h"

#include <memory>
#include <string>

namespace {

using namespace qv;

struct TServer {
  serve::TProgram Program{test::kPageW, test::kPageH};
  std::unique_ptr<serve::TOnAir> OnAir;
  std::unique_ptr<serve::TApi> Api;
  std::int64_t Frame = 0;
  int Requests = 0;
};

std::string gRundown;
std::unique_ptr<TServer> gServer;

// The folder the serve tests play (tests/serve/ServeFixtures.h), so that their requests, the
// seeds, name rows, pages and fields that exist here.
void NewServer() {
  gServer.reset();
  gRundown = test::WriteServeFolder(fuzz::ScratchFolder());
  gServer = std::make_unique<TServer>();
  serve::TOnAirSettings settings;
  settings.RundownFile = gRundown;
  gServer->OnAir = std::make_unique<serve::TOnAir>(settings, serve::ReadRundownFile(gRundown), gServer->Program);
  gServer->Api = std::make_unique<serve::TApi>(*gServer->OnAir, "", true);
}

serve::THttpRequest Parse(const std::string& text) {
  serve::THttpRequest r;
  std::size_t at = text.find('\n');
  const std::string first = text.substr(0, at);
  const std::size_t space = first.find(' ');
  r.Method = first.substr(0, space);
  const std::string target = space == std::string::npos ? "/" : first.substr(space + 1);
  const std::size_t q = target.find('?');
  r.Path = target.substr(0, q);
  if (q != std::string::npos) r.Query = target.substr(q + 1);
  while (at != std::string::npos && at + 1 <= text.size()) {
    const std::size_t end = text.find('\n', at + 1);
    const std::string line = text.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
    at = end;
    if (line.empty()) break;
    const std::size_t colon = line.find(':');
    std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
    if (!value.empty() && value[0] == ' ') value.erase(0, 1);
    r.Headers.emplace_back(line.substr(0, colon), value);
  }
  if (at != std::string::npos && at + 1 < text.size()) r.Body = text.substr(at + 1);
  // The server adds the Host a browser sends, unless the input names one.
  if (r.Header("Host").empty()) r.Headers.emplace_back("Host", "127.0.0.1:8080");
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A fresh server now and then, so that rows added by earlier inputs do not pile up.
  if (!gServer || ++gServer->Requests > 500) NewServer();
  const serve::THttpRequest request = Parse(std::string(reinterpret_cast<const char*>(data), size));

  const serve::TJson before = gServer->OnAir->Rundown();
  const serve::THttpResponse response = gServer->Api->Handle(request);
  gServer->Program.Frame(gServer->Frame++);

  if (response.Status < 200 || response.Status > 599) fuzz::Fail("status " + std::to_string(response.Status));
  if (response.ContentType.rfind("application/json", 0) == 0) {
    const serve::TJson body = serve::TJson::parse(response.Body, nullptr, false);
    if (body.is_discarded()) fuzz::Fail("an answer that is not JSON: " + response.Body);
    if (response.Status >= 400 && !body.contains("error")) fuzz::Fail("an error without a message: " + response.Body);
  }
  serve::TJson after = gServer->OnAir->Rundown();
  if (response.Status >= 400 && after != before) fuzz::Fail("an error changed the rundown: " + response.Body);
  // The file is whole and is the rundown served.
  after.erase("revision");
  if (serve::RundownToJson(serve::ReadRundownFile(gRundown)) != after) fuzz::Fail("the file differs from the rundown");
  return 0;
}
