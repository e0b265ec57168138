// The SQLite driver under real other processes: one killed inside a transaction, two writing
// the same file at once.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/files/sqlite/customers.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kes::test {
namespace {

// A started child process of driver_child: the read end of its standard output, the write end
// of its standard input.
struct Child {
  pid_t pid;
  int output;
  int input;
};

Child start(std::vector<std::string> arguments) {
  int pipe_ends[2];
  int input[2];  // never written: the child's reads wait until it is killed
  EXPECT_EQ(pipe(pipe_ends), 0);
  EXPECT_EQ(pipe(input), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_ends[1], 1);
    dup2(input[0], 0);
    close(pipe_ends[0]);
    close(input[1]);
    std::vector<char*> argv{const_cast<char*>(KES_DRIVER_CHILD)};
    for (std::string& a : arguments)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(KES_DRIVER_CHILD, argv.data());
    _exit(127);
  }
  close(pipe_ends[1]);
  close(input[0]);
  return {pid, pipe_ends[0], input[1]};
}

std::string read_line(const Child& child) {
  std::string line;
  char c = 0;
  while (read(child.output, &c, 1) == 1 && c != '\n')
    line.push_back(c);
  return line;
}

// The exit code, or 128 plus the signal that ended it.
int wait_for(const Child& child) {
  int status = 0;
  waitpid(child.pid, &status, 0);
  close(child.output);
  close(child.input);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string integrity(Customers& customers) {
  Kes$FILE_GET_PROPERTY(customers.file(), K55SQLITE_PROP_INTEGRITY, 0);
  return popped_text();
}

TEST(SQLiteDriverReliability, KillBetweenLogoutAndCommitKeepsWhatWasCommittedOnly) {
  const std::string name = fresh_database(::testing::TempDir(), "killed");
  Child child = start({"crash", name});
  ASSERT_EQ(read_line(child), "ready");
  kill(child.pid, SIGKILL);
  EXPECT_EQ(wait_for(child), 128 + SIGKILL);
  Customers customers(name);
  ASSERT_EQ(customers.open(), 0);
  EXPECT_EQ(Kes$FILE_RECORDSf(customers.file()), 50);
  EXPECT_EQ(customers.get(50), 0);
  EXPECT_EQ(customers.get(51), 35);
  EXPECT_EQ(integrity(customers), "ok");
  EXPECT_EQ(customers.add(51, "again", 0), 0);  // the file takes writes again
  Kes$FILE_CLOSE(customers.file());
}

TEST(SQLiteDriverReliability, TwoWritersAtOnceLoseNoUpdate) {
  const std::string name = fresh_database(::testing::TempDir(), "writers");
  Customers customers(name);
  Kes$FILE_CREATE(customers.file());
  customers.open();
  ASSERT_EQ(customers.add(0, "counter", 0), 0);
  constexpr int kOperations = 10000;
  Child first = start({"writer", name, "1", std::to_string(kOperations)});
  Child second = start({"writer", name, "2", std::to_string(kOperations)});
  EXPECT_EQ(wait_for(first), 0);  // no error in either: no lock waited out its timeout
  EXPECT_EQ(wait_for(second), 0);
  ASSERT_EQ(customers.get(0), 0);
  EXPECT_EQ(customers.amount(), kOperations);  // every HOLD, GET, PUT of both counted
  EXPECT_EQ(Kes$FILE_RECORDSf(customers.file()), 1 + kOperations);
  EXPECT_EQ(integrity(customers), "ok");
  Kes$FILE_CLOSE(customers.file());
}

}  // namespace
}  // namespace kes::test
#endif
