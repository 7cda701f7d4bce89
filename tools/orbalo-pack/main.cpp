// orbalo-pack: packaging tool for the orbalo projector (see PackTool.h).
#include <iostream>
#include <string>
#include <vector>

#include "tools/orbalo-pack/PackTool.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return kw::orbalo::pack::RunOrbaloPack(args, std::cout, std::cerr);
}
