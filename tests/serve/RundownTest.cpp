// The rundown's file: what parses and what is refused with which message, the text written back,
// and names a client gives for files, inside the rundown's folder or refused.
#include "serve/Rundown.h"
#include "serve/SafePath.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qv::test {
namespace {

using serve::ParseRundown;

TEST(Rundown, FilesParseOrGiveOneErrorNamingTheRow) {
  struct TCase {
    std::string Text;
    std::string Error;  // empty: parses
  };
  const std::vector<TCase> cases = {
      {R"({"rows": []})", ""},
      {R"({"rows": [{"id": "a", "page": "p.QV", "layer": 1}]})", ""},
      {R"({"rows": [{"id": "a-1_b.c", "page": "sub/p.qv", "layer": 99, "fields": {"Meta1": "x", "t.Text": ""}}]})", ""},
      {"", "not JSON"},
      {R"({"rows": [})", "not JSON"},
      {R"([])", "a rundown is a JSON object with \"rows\""},
      {R"({})", "a rundown's \"rows\" is an array"},
      {R"({"rows": {}})", "a rundown's \"rows\" is an array"},
      {R"({"rows": [], "title": "x"})", "a rundown has no member \"title\" (only \"rows\")"},
      {R"({"rows": [1]})", "rows[0]: a row is a JSON object"},
      {R"({"rows": [{"page": "p.QV", "layer": 1}]})", "rows[0]: a row needs an \"id\""},
      {R"({"rows": [{"id": "a", "layer": 1}]})", "rows[0] (\"a\"): a row needs a \"page\""},
      {R"({"rows": [{"id": "a", "page": "p.QV"}]})", "rows[0] (\"a\"): a row needs a \"layer\""},
      {R"({"rows": [{"id": "a b", "page": "p.QV", "layer": 1}]})",
       "rows[0] (\"a b\"): \"id\": an id holds only letters, digits, '-', '_' and '.'"},
      {R"({"rows": [{"id": "", "page": "p.QV", "layer": 1}]})", "rows[0] (\"\"): \"id\": an id has 1 to 64 characters"},
      {R"({"rows": [{"id": 7, "page": "p.QV", "layer": 1}]})", "rows[0]: \"id\" is a string"},
      {R"({"rows": [{"id": "a", "page": "p.QV", "layer": 0}]})",
       "rows[0] (\"a\"): \"layer\" is a whole number from 1 to 99"},
      {R"({"rows": [{"id": "a", "page": "p.QV", "layer": 1.5}]})",
       "rows[0] (\"a\"): \"layer\" is a whole number from 1 to 99"},
      {R"({"rows": [{"id": "a", "page": "p.QV", "layer": 1, "fields": []}]})",
       "rows[0] (\"a\"): \"fields\" is an object of names and texts"},
      {R"({"rows": [{"id": "a", "page": "p.QV", "layer": 1, "fields": {"Meta1": 3}}]})",
       "rows[0] (\"a\"): field \"Meta1\": a value is a string"},
      {R"({"rows": [{"id": "a", "page": "p.QV", "layer": 1, "colour": "red"}]})",
       "rows[0] (\"a\"): a row has no member \"colour\" (id, page, layer, fields)"},
      {R"({"rows": [{"id": "a", "page": "../p.QV", "layer": 1}]})",
       "rows[0] (\"a\"): \"page\": a page's path may not leave the rundown's folder (\"..\")"},
      {R"({"rows": [{"id": "a", "page": "/tmp/p.QV", "layer": 1}]})",
       "rows[0] (\"a\"): \"page\": a page's path is relative to the rundown's folder, not absolute"},
      {R"({"rows": [{"id": "a", "page": "p.txt", "layer": 1}]})", "rows[0] (\"a\"): \"page\": a page is a .QV file"},
      {R"({"rows": [{"id": "a", "page": "p.QV", "layer": 1}, {"id": "a", "page": "q.QV", "layer": 2}]})",
       "rows[1] (\"a\"): another row has the id \"a\""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    std::string error;
    const auto r = ParseRundown(c.Text, error);
    if (c.Error.empty()) {
      ASSERT_TRUE(r) << error;
      // Written and read again, the rundown is the same.
      std::string again;
      const auto back = ParseRundown(serve::RundownText(*r), again);
      ASSERT_TRUE(back) << again;
      EXPECT_EQ(*back, *r);
    } else {
      EXPECT_FALSE(r);
      EXPECT_EQ(error, c.Error);
    }
  }
}

TEST(Rundown, FieldsKeepTheirOrderAndTheFileIsReplacedWhole) {
  TTestDir dir("serve-rundown");
  const std::string file = dir.Write("r.json", R"({"rows": [{"id": "x", "page": "p.QV", "layer": 2,
      "fields": {"z.Text": "last", "Meta1": "first", "a.X": "10"}}]})");
  serve::TRundown r = serve::ReadRundownFile(file);
  ASSERT_EQ(r.Rows.size(), 1u);
  const std::vector<std::pair<std::string, std::string>> fields = {{"z.Text", "last"}, {"Meta1", "first"}, {"a.X", "10"}};
  EXPECT_EQ(r.Rows[0].Fields, fields);
  r.Rows.push_back({serve::FreeRowId(r), "q.QV", 1, {}});
  EXPECT_EQ(r.Rows[1].Id, "row2");
  serve::WriteRundownFile(file, r);
  EXPECT_EQ(ReadBytes(file), serve::RundownText(r));
  EXPECT_EQ(serve::ReadRundownFile(file), r);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << "no file is left beside it";
  EXPECT_THROW(serve::ReadRundownFile((dir / "none.json").string()), std::runtime_error);
}

TEST(FolderGuard, NamesInsideTheFolderResolveAndOthersAreRefused) {
  TTestDir dir("serve-guard");
  TTestDir outside("serve-outside");
  std::filesystem::create_directories(dir / "pages");
  dir.Write("pages/p.QV", "");
  outside.Write("secret.QV", "");
  std::filesystem::create_directory_symlink(outside.Path(), dir / "out");
  std::filesystem::create_symlink(outside / "secret.QV", dir / "secret.QV");
  std::filesystem::create_directory_symlink(dir / "pages", dir / "in");
  const serve::TFolderGuard guard(dir.Path());
  const std::filesystem::path root = std::filesystem::canonical(dir.Path());

  struct TCase {
    std::string Name;
    std::string Inside;  // the path it resolves to, under the folder; empty: refused
    std::string Error;
  };
  const std::vector<TCase> cases = {
      {"pages/p.QV", "pages/p.QV", ""},
      {"./pages//p.QV", "pages/p.QV", ""},
      {"in/p.QV", "pages/p.QV", ""},           // a link that stays inside
      {"pages/new.QV", "pages/new.QV", ""},    // need not exist
      {"pages/../pages/p.QV", "", "\"pages/../pages/p.QV\" is outside the rundown's folder (\"..\")"},
      {"../x.QV", "", "\"../x.QV\" is outside the rundown's folder (\"..\")"},
      {"/etc/passwd", "", "\"/etc/passwd\" is outside the rundown's folder (a path there is relative)"},
      {"out/secret.QV", "", "\"out/secret.QV\" leads outside the rundown's folder"},
      {"secret.QV", "", "\"secret.QV\" leads outside the rundown's folder"},
      {"", "", "no file was named"},
      {std::string("p\0.QV", 5), "", "a file name holds no NUL character"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string error;
    const auto got = guard.Resolve(c.Name, error);
    if (c.Inside.empty()) {
      EXPECT_FALSE(got);
      EXPECT_EQ(error, c.Error);
    } else {
      ASSERT_TRUE(got) << error;
      EXPECT_EQ(*got, root / c.Inside);
    }
  }
}

}  // namespace
}  // namespace qv::test
