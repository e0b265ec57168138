// A program as the compiler builds one, started by the tests as a child process: it registers
// its module, begins its code and uses the locale without asking for it (it never calls
// Kes$isfinit), printing one "name=value" line for each setting it sees. Given the argument
// "assert" it then fails an internal assertion of the window layer; given "evaluate" and an
// expression it prints "evaluate=" and the expression's value.
#include <cstdio>
#include <cstring>

#include <kestrel/collation.h>
#include <kestrel/errors.h>
#include <kestrel/evaluate.h>
#include <kestrel/lifecycle.h>
#include <kestrel/pictures.h>
#include <kestrel/string_stack.h>

namespace {

KesModuleDescriptor program_module{};

constexpr int32_t kJan5Of2024 = 81457;

void print_formatted(const char* name, const char* picture) {
  char text[64];
  Kes$PushPictLong(kJan5Of2024, picture);
  Kes$PopCString(text, sizeof text);
  std::printf("%s=%s\n", name, text);
}

}  // namespace

int main(int argc, char** argv) {
  _sysinit(&program_module, nullptr);
  Kes$code();
  print_formatted("month", "@D3");
  print_formatted("short date", "@D17");
  std::printf("b before a=%d\n", Kes$comparestr("b", 1, "a", 1) < 0 ? 1 : 0);
  Kes$seterror(2);
  int length = static_cast<int>(sizeof Kes$ERRSTR);
  while (length > 0 && Kes$ERRSTR[length - 1] == ' ')
    --length;
  std::printf("error 2=%.*s\n", length, Kes$ERRSTR);
  std::fflush(stdout);
  if (argc > 1 && std::strcmp(argv[1], "assert") == 0) {
    WslDebug$AssertFailed("count > 0", "ctllist.cpp", 77);  // ends the program
  }
  if (argc > 2 && std::strcmp(argv[1], "evaluate") == 0) {
    char value[1024];
    Kes$PushCString(argv[2]);
    Kes$Evaluate();
    Kes$PopCString(value, sizeof value);
    std::printf("evaluate=%s\n", value);
  }
  Kes$exit(0);
}
