// The kes command-line tool for people who write Kestrel programs.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kes_tool.h"

int main(int argc, char** argv) {
  std::vector<std::string_view> args;
  for (int i = 1; i < argc; ++i)
    args.emplace_back(argv[i]);
  std::string out;
  std::string err;
  const int status = kes::tools::run_kes_tool(args, out, err);
  std::fputs(out.c_str(), stdout);
  std::fputs(err.c_str(), stderr);
  return status;
}
