// velkor: the engine from the command line.

#include <string>
#include <string_view>
#include <vector>

#include "tools/velkor/commands.h"

int main(int argc, char** argv) {
  std::vector<std::string_view> arguments(argv + 1, argv + argc);
  return velkor::client::Run(arguments, stdout, stderr);
}
