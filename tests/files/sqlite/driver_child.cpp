// The child process of the SQLite driver's reliability tests.
//   driver_child crash <database>   adds customers 1 to 50, then 51 to 100 inside a LOGOUT,
//                                   says "ready" and waits to be killed
//   driver_child writer <database> <id> <count>
//                                   alternates ADD of a new customer with HOLD, GET, PUT of
//                                   customer 0's amount plus one; exits with the number of
//                                   errors met (0 for none)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/files/sqlite/customers.h"

int main(int argc, char** argv) {
  if (argc < 3) return 100;
  const std::string mode = argv[1];
  kes::test::Customers customers(argv[2]);
  customers.file()->attributes = DRV_ATTR_CREATE;
  if (customers.open() != 0) return 101;
  if (mode == "crash") {
    for (std::int32_t id = 1; id <= 100; ++id) {
      if (id == 51) Kes$LOGOUT(1, customers.file(), nullptr);
      if (customers.add(id, "customer", id) != 0) return 102;
    }
    std::puts("ready");
    std::fflush(stdout);
    std::getchar();  // killed while it waits
    return 0;
  }
  if (mode != "writer" || argc < 5) return 100;
  const std::int32_t base = std::atoi(argv[3]) * 1000000;
  const std::int32_t count = std::atoi(argv[4]);
  int errors = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    if (i % 2 == 0) {
      errors += customers.add(base + i, "added", i) != 0;
      continue;
    }
    Kes$FILE_HOLDf(customers.file());
    if (customers.get(0) != 0) {
      ++errors;
      continue;
    }
    customers.set_long(3, customers.amount() + 1);
    Kes$FILE_PUTf(customers.file());
    errors += Kes$ERRCODE != 0;
  }
  Kes$FILE_CLOSE(customers.file());
  return errors > 99 ? 99 : errors;
}
