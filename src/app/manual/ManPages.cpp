// qv_manpages FOLDER: writes qvrender.1 and qveditor.1 into FOLDER at build time, from the tables
// and texts the programs' usage and --help are made of.
#include "app/manual/Manual.h"
#include "app/qveditor/Manual.h"
#include "app/qvrender/Manual.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: qv_manpages FOLDER\n";
    return 2;
  }
  const std::filesystem::path folder(argv[1]);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  for (const qv::manual::TManual& m : {qv::render::QvrenderManual(), qv::editor::QveditorManual()}) {
    const std::filesystem::path file = folder / (m.Name + ".1");
    std::ofstream out(file, std::ios::binary);
    out << qv::manual::Roff(m);
    out.close();
    if (!out) {
      std::cerr << "qv_manpages: cannot write " << file.string() << "\n";
      return 1;
    }
  }
  return 0;
}
