// qvrender serve as a user runs it, through a real HTTP client on a free loopback port: every
// endpoint's answers as a table (with the rundown file after each: rewritten on success, untouched
// on any error), the token, names that leave the folder, edits racing SIGKILL, the event stream;
// several pages on air read from the --raw pipe against pages rendered by qvrender render and
// composited by hand; and SIGTERM or SIGINT ending play and serve whose consumer stopped reading.
#include "ServeFixtures.h"
#include "ServeProcess.h"
#include "serve/Api.h"
#include "serve/Rundown.h"
#include "support/Files.h"
#include "support/Qvrender.h"
#include "support/Tga.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <set>
#include <thread>

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using serve::TJson;

constexpr std::size_t kFrameBytes = std::size_t(kPageW) * kPageH * 4;

int DevNull() { return ::open("/dev/null", O_WRONLY | O_CLOEXEC); }

// One request and what it must give. Method "AWAIT" waits until the cue is no longer loading.
struct TApiCase {
  std::string Method;
  std::string Target;
  std::string Body;  // "@big": one byte more than a body may hold
  int Status = 200;
  std::string Contains;  // in the answer
  httplib::Headers Headers = {};
  std::string Type = "application/json";
};

class ServeCommand : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> extra = {}, int out = -1) {
    std::vector<std::string> args = {"serve", rundown, "--listen", "127.0.0.1:0"};
    if (out < 0) args.insert(args.end(), {"--raw", "/dev/null"});
    args.insert(args.end(), extra.begin(), extra.end());
    server = std::make_unique<TProcess>(args, out < 0 ? DevNull() : out, (dir / "err.txt").string());
    port = server->WaitForPort();
    ASSERT_GT(port, 0) << server->Err();
  }
  std::unique_ptr<httplib::Client> Client() const {
    auto c = std::make_unique<httplib::Client>("127.0.0.1", port);
    c->set_read_timeout(30);
    c->set_connection_timeout(10);
    return c;
  }
  httplib::Result Send(httplib::Client& c, const TApiCase& k) const {
    const std::string body = k.Body == "@big" ? std::string(serve::kMaxBody + 1, ' ') : k.Body;
    if (k.Method == "GET") return c.Get(k.Target, k.Headers);
    if (k.Method == "HEAD") return c.Head(k.Target, k.Headers);
    if (k.Method == "POST") return c.Post(k.Target, k.Headers, body, k.Type);
    if (k.Method == "PATCH") return c.Patch(k.Target, k.Headers, body, k.Type);
    if (k.Method == "PUT") return c.Put(k.Target, k.Headers, body, k.Type);
    return c.Delete(k.Target, k.Headers, body, k.Type);
  }
  TJson State() const {
    auto r = Client()->Get("/api/state");
    return r && r->status == 200 ? TJson::parse(r->body) : TJson();
  }
  void AwaitCue() const {
    for (int i = 0; i < 3000 && State()["cue"]["state"] == "loading"; ++i) std::this_thread::sleep_for(5ms);
  }
  // Runs the cases in order against the server; after each, the rundown file.
  void Run(const std::vector<TApiCase>& cases) {
    const char* seeds = std::getenv("QV_SERVE_FUZZ_SEEDS");
    auto c = Client();
    int number = 0;
    for (const TApiCase& k : cases) {
      SCOPED_TRACE(k.Method + " " + k.Target + " " + k.Body.substr(0, 80));
      if (seeds != nullptr) WriteSeed(seeds, number++, k);
      if (k.Method == "AWAIT") {
        AwaitCue();
        continue;
      }
      const std::string before = ReadBytes(rundown);
      const httplib::Result r = Send(*c, k);
      ASSERT_TRUE(r) << httplib::to_string(r.error());
      EXPECT_EQ(r->status, k.Status) << r->body;
      EXPECT_NE(r->body.find(k.Contains), std::string::npos) << r->body;
      const std::string after = ReadBytes(rundown);
      std::string error;
      const auto file = serve::ParseRundown(after, error);
      ASSERT_TRUE(file) << error;
      if (r->status >= 400) {
        EXPECT_EQ(after, before) << "an error changes nothing";
        EXPECT_NE(r->body.find("\"error\":\""), std::string::npos) << r->body;
      } else if (k.Method != "GET" && k.Target.rfind("/api/rows", 0) == 0) {
        TJson served = TJson::parse(c->Get("/api/rundown", k.Headers)->body);
        served.erase("revision");
        EXPECT_EQ(serve::RundownToJson(*file), served) << "the file is what the server holds";
      }
    }
  }
  // The case as a seed of the request handler's fuzzer (fuzz/ServeFuzzer.cpp reads this form).
  static void WriteSeed(const char* folder, int number, const TApiCase& k) {
    if (k.Method == "AWAIT" || k.Body == "@big") return;
    std::string text = k.Method + " " + k.Target + "\n";
    for (const auto& [name, value] : k.Headers) text += name + ": " + value + "\n";
    if (!k.Body.empty()) text += "Content-Type: " + k.Type + "\n";
    text += "\n" + k.Body;
    char name[160];
    std::snprintf(name, sizeof name, "%s-%03d", ::testing::UnitTest::GetInstance()->current_test_info()->name(), number);
    WriteBytes(fs::path(folder) / name, text);
  }

  TTestDir dir{"serve-cmd"};
  TTestDir outside{"serve-outside"};
  std::string rundown = WriteServeFolder(dir.Path());
  std::unique_ptr<TProcess> server;
  int port = -1;
};

TEST_F(ServeCommand, EveryEndpointAnswersAsTheTableSays) {
  outside.Write("p.QV", ReadBytes(dir / "l3.QV"));
  outside.Write("secret.tga", ReadBytes(dir / "logo.tga"));
  fs::create_directory_symlink(outside.Path(), dir / "link-out");
  Start();
  const std::vector<TApiCase> cases = {
      // the control page
      {"GET", "/", "", 200, "<title>QV on air</title>"},
      {"GET", "/app.js", "", 200, "EventSource"},
      {"GET", "/app.css", "", 200, ".screen"},
      {"HEAD", "/api/state", "", 200, ""},
      {"GET", "/nothing.html", "", 404, "nothing at /nothing.html"},
      {"POST", "/", "{}", 405, "takes GET"},
      // reading the rundown
      {"GET", "/api/rundown", "", 200, R"({"id":"anna","page":"l3.QV","layer":1,"fields":{"Meta1":"Anna Berg")"},
      {"GET", "/api/rows/anna", "", 200, R"("title.Text":"Reporter")"},
      {"GET", "/api/rows/nobody", "", 404, "no row \\\"nobody\\\""},
      {"GET", "/api/rows/a%20b", "", 404, "an id holds only"},
      {"GET", "/api/nothing", "", 404, "nothing at /api/nothing"},
      {"PUT", "/api/rows/anna", "{}", 405, "takes GET, PATCH, DELETE"},
      {"DELETE", "/api/rundown", "", 405, "takes GET"},
      // adding rows
      {"POST", "/api/rows", R"({"page": "l3.QV", "layer": 1, "fields": {"Meta1": "Dana"}})", 201, R"("id":"row5")"},
      {"POST", "/api/rows", R"({"id": "eve", "page": "l3.QV", "layer": 3, "index": 0})", 201, R"("id":"eve")"},
      {"POST", "/api/rows", R"({"id": "anna", "page": "l3.QV", "layer": 1})", 409, "has the id \\\"anna\\\" already"},
      {"POST", "/api/rows", R"({"id": "x", "page": "../p.QV", "layer": 1})", 403, "outside the rundown's folder"},
      {"POST", "/api/rows", R"({"id": "x", "page": ")" + (outside / "p.QV").string() + R"(", "layer": 1})", 403,
       "outside the rundown's folder"},
      {"POST", "/api/rows", R"({"id": "x", "page": "link-out/p.QV", "layer": 1})", 403, "leads outside"},
      {"POST", "/api/rows", R"({"id": "x", "page": "l3.txt", "layer": 1})", 400, "a page is a .QV file"},
      {"POST", "/api/rows", R"({"id": "x", "page": "missing.QV", "layer": 1})", 422, "missing.QV"},
      {"POST", "/api/rows", R"({"id": "x", "page": "l3.QV", "layer": 0})", 400, "\\\"layer\\\" is a whole number"},
      {"POST", "/api/rows", R"({"id": "x", "page": "l3.QV", "layer": "1"})", 400, "\\\"layer\\\" is a whole number"},
      {"POST", "/api/rows", R"({"id": "x", "page": "l3.QV", "layer": 1, "fields": {"Meta1": 5}})", 400,
       "a value is a string"},
      {"POST", "/api/rows", R"({"id": "x", "page": "l3.QV", "layer": 1, "fields": {"nolayer.Text": "a"}})", 422,
       "the page has no layer named as the field starts"},
      {"POST", "/api/rows", R"({"id": "x", "page": "l3.QV", "layer": 1, "fields": {"Meta9": "a"}})", 422,
       "neither Meta1..Meta4"},
      {"POST", "/api/rows", R"({"id": "x", "page": "l3.QV", "layer": 1, "colour": "red"})", 400, "no member \\\"colour\\\""},
      {"POST", "/api/rows", R"({"id": "a b", "page": "l3.QV", "layer": 1})", 400, "an id holds only"},
      {"POST", "/api/rows", R"({"id": "x", "page": "l3.QV", "layer": 1, "index": 99})", 400, "\\\"index\\\" is from 0 to"},
      {"POST", "/api/rows", R"({"id": "x", "page": )", 400, "the body is not JSON"},
      {"POST", "/api/rows", R"([1, 2])", 400, "the body is a JSON object: a row"},
      {"POST", "/api/rows", "", 400, "needs a JSON body"},
      {"POST", "/api/rows", R"({"id": "x", "page": "l3.QV", "layer": 1})", 415, "application/json", {}, "text/plain"},
      {"POST", "/api/rows", "@big", 413, "at most 1 MiB"},
      // changing rows
      {"PATCH", "/api/rows/anna", R"({"fields": {"title.Text": "Editor"}})", 200, R"("title.Text":"Editor")"},
      {"PATCH", "/api/rows/anna", R"({"fields": {"Meta2": "second", "title.Text": null}})", 200,
       R"("fields":{"Meta1":"Anna Berg","Meta2":"second"})"},
      {"PATCH", "/api/rows/anna", R"({"fields": {"strap.Opacity": "bright"}})", 422, "\\\"bright\\\" is not a value it takes"},
      {"PATCH", "/api/rows/anna", R"({"fields": {"strap.Nothing": "1"}})", 422, "has no property Nothing"},
      {"PATCH", "/api/rows/anna", R"({"fields": {"strap.FileName": "../secret.tga"}})", 403, "outside the rundown's folder"},
      {"PATCH", "/api/rows/anna", R"({"fields": {"strap.FileName": "link-out/secret.tga"}})", 403, "leads outside"},
      {"PATCH", "/api/rows/anna", R"({"fields": {"strap.FileName": "/etc/hostname"}})", 403, "outside the rundown's folder"},
      {"PATCH", "/api/rows/anna", R"({"fields": {"strap.FileName": "logo.tga"}})", 200, R"("strap.FileName":"logo.tga")"},
      {"PATCH", "/api/rows/anna", R"({"fields": {"strap.FileName": null}, "layer": 3})", 200, R"("layer":3)"},
      {"PATCH", "/api/rows/cara", R"({"page": "bug.QV"})", 422, "field \\\"strap.Opacity\\\"", },
      {"PATCH", "/api/rows/bug", R"({"page": "l3.QV"})", 200, R"("page":"l3.QV")"},
      {"PATCH", "/api/rows/bug", R"({"page": "bug.QV"})", 200, R"("page":"bug.QV")"},
      {"PATCH", "/api/rows/anna", R"({"id": "zed"})", 400, "does not change"},
      {"PATCH", "/api/rows/anna", R"({"fields": ["Meta1"]})", 400, "\\\"fields\\\" is an object"},
      {"PATCH", "/api/rows/anna", R"({"fields": {"Meta1": 7}})", 400, "a value is a string"},
      {"PATCH", "/api/rows/anna", R"([])", 400, "the body is a JSON object"},
      {"PATCH", "/api/rows/nobody", R"({"layer": 1})", 404, "no row"},
      {"DELETE", "/api/rows/row5", "", 200, R"({"deleted":"row5"})"},
      {"DELETE", "/api/rows/row5", "", 404, "no row"},
      // on air
      {"GET", "/api/state", "", 200, R"("cue":{"state":"none"})"},
      {"GET", "/api/preview.png", "", 404, "nothing is cued"},
      {"POST", "/api/take", "", 409, "nothing is cued"},
      {"POST", "/api/cue", R"({"row": "nobody"})", 404, "no row"},
      {"POST", "/api/cue", R"({"rows": "anna"})", 400, R"({\"row\": ID})"},
      {"POST", "/api/cue", R"({"row": 3})", 400, R"({\"row\": ID})"},
      {"GET", "/api/cue", "", 405, "takes POST"},
      {"POST", "/api/cue", R"({"row": "anna"})", 202, R"("state":"loading")"},
      {"AWAIT", "", "", 0, ""},
      {"GET", "/api/state", "", 200, R"("cue":{"state":"ready","row":"anna","layer":3)"},
      {"GET", "/api/preview.png", "", 200, "PNG"},
      {"POST", "/api/take", R"({"now": true})", 400, "takes no members"},
      {"POST", "/api/take", "{}", 200, R"({"layer":3,"row":"anna")"},
      {"POST", "/api/takeout", R"({"layer": 2})", 409, "layer 2 shows nothing"},
      {"POST", "/api/takeout", R"({"layer": "3"})", 400, R"({\"layer\": N})"},
      {"POST", "/api/takeout", R"({"layer": 100})", 400, "from 1 to 99"},
      {"POST", "/api/takeout", R"({"layer": 3})", 200, R"({"layer":3})"},
      {"POST", "/api/next", "", 202, R"("row":"ben")"},
      {"POST", "/api/next", "{}", 202, R"("row":"cara")"},
      {"POST", "/api/next", "", 409, "no row after \\\"cara\\\""},
      {"GET", "/api/program.png", "", 200, "PNG"},
      // requests from elsewhere
      {"GET", "/api/state", "", 403, "127.0.0.1 or localhost only", {{"Host", "qv.example.com"}}},
      {"POST", "/api/cue", R"({"row": "anna"})", 403, "another site's page", {{"Origin", "http://qv.example.com"}}},
  };
  Run(cases);
  EXPECT_EQ(server->Stop(SIGTERM), 0) << server->Err();
}

TEST_F(ServeCommand, WithATokenEveryRequestCarriesIt) {
  Start({"--token", "s3cret-t0ken"});
  const httplib::Headers bearer = {{"Authorization", "Bearer s3cret-t0ken"}};
  const httplib::Headers wrong = {{"Authorization", "Bearer s3cret-t0keN"}};
  const std::vector<TApiCase> cases = {
      {"GET", "/", "", 401, "needs its token"},
      {"GET", "/api/state", "", 401, "needs its token"},
      {"GET", "/api/events", "", 401, "needs its token"},
      {"GET", "/api/state", "", 401, "needs its token", wrong},
      {"GET", "/api/state?token=s3cret", "", 401, "needs its token"},
      {"PATCH", "/api/rows/anna", R"({"fields": {"Meta1": "Intruder"}})", 401, "needs its token"},
      {"POST", "/api/cue", R"({"row": "anna"})", 401, "needs its token"},
      {"GET", "/api/state", "", 200, R"("layers":[])", bearer},
      {"GET", "/?token=s3cret-t0ken", "", 200, "<title>QV on air</title>"},
      {"GET", "/api/state", "", 200, R"("layers":[])", {{"Cookie", "theme=dark; qv_token=s3cret-t0ken"}}},
      {"PATCH", "/api/rows/anna", R"({"fields": {"Meta1": "Anna Berg-Lund"}})", 200, "Anna Berg-Lund", bearer},
  };
  Run(cases);
  // The address with the token leaves a cookie for the page's later requests.
  const httplib::Result page = Client()->Get("/?token=s3cret-t0ken");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->get_header_value("Set-Cookie"), "qv_token=s3cret-t0ken; Path=/; HttpOnly; SameSite=Strict");
  EXPECT_EQ(server->Stop(SIGTERM), 0) << server->Err();
}

// Off loopback the token is a must: serve refuses to start without one.
TEST_F(ServeCommand, AnotherAddressNeedsAToken) {
  const TRunResult r = RunQvrender({"serve", rundown, "--raw", "-", "--listen", "0.0.0.0:0"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("listening on 0.0.0.0, not this machine's loopback, needs --token"), std::string::npos) << r.err;
}

// Edits one after the other while the server is killed at a random moment: the file is always
// a whole rundown, the one before the last edit or the one after it.
TEST_F(ServeCommand, AnEditRacingSigkillLeavesTheOldOrTheNewFile) {
  std::mt19937 random(20261211);
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    WriteServeFolder(dir.Path());
    Start();
    std::atomic<int> sent{0};
    std::atomic<int> answered{0};
    std::thread editor([&] {
      auto c = Client();
      for (int i = 0;; ++i) {
        sent = i + 1;
        std::string title(1, 'v');  // "v" + std::string: GCC 12 warns wrongly (-Wrestrict)
        title += std::to_string(i);
        const TJson body{{"fields", {{"title.Text", title}}}};
        const httplib::Result r = c->Patch("/api/rows/anna", body.dump(), "application/json");
        if (!r) break;
        answered = i + 1;
      }
    });
    while (answered < 3) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 60)(random)));
    EXPECT_EQ(server->Stop(SIGKILL), -1);
    editor.join();
    const serve::TRundown file = serve::ReadRundownFile(rundown);  // throws if cut
    ASSERT_EQ(file.Rows.size(), 4u);
    const std::string title = *file.Find("anna")->Field("title.Text");
    const int version = std::stoi(title.substr(1));
    // The last edit answered is in, or the one after it that was under way.
    EXPECT_GE(version + 1, answered.load()) << title;
    EXPECT_LT(version, sent.load()) << title;
    EXPECT_EQ(*file.Find("ben")->Field("Meta1"), "Ben Okafor");
  }
}

// Two clients on the event stream both see a third's edit.
TEST_F(ServeCommand, EveryClientOnTheEventStreamSeesAnEdit) {
  Start();
  std::atomic<int> seen{0};
  auto listen = [&] {
    auto c = Client();
    std::string text;
    c->Get("/api/events", [&](const char* data, std::size_t size) {
      text.append(data, size);
      if (text.find("Anna from the other desk") == std::string::npos) return true;
      ++seen;
      return false;
    });
  };
  std::thread first(listen), second(listen);
  // Both streams open before the edit: each sends the rundown first.
  std::this_thread::sleep_for(300ms);
  const httplib::Result r =
      Client()->Patch("/api/rows/anna", R"({"fields": {"Meta1": "Anna from the other desk"}})", "application/json");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 200);
  first.join();
  second.join();
  EXPECT_EQ(seen.load(), 2);
  EXPECT_EQ(server->Stop(SIGTERM), 0) << server->Err();
}

}  // namespace
}  // namespace qv::test
