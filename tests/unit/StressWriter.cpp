// The writing process of the handoff stress test: publishes versions 0 to
// N - 1 of a data file under one name, version v holding 10 + v % 50 lines
// "v,k".
#include <cstdlib>
#include <string>

#include "exchange/DataFile.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string name = argv[1];
  const int versions = std::atoi(argv[2]);
  for (int v = 0; v < versions; ++v) {
    std::string content;
    for (int k = 0; k < 10 + v % 50; ++k)
      content += std::to_string(v) + "," + std::to_string(k) + "\r\n";
    msx::HandOffDataFile(name, content);
  }
  return 0;
}
