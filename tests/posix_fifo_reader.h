// Another program on the far side of a FIFO, for tests of writes into one: a child process that
// reads it to its end into a file.
#ifndef TELBOOK_TESTS_POSIX_FIFO_READER_H_
#define TELBOOK_TESTS_POSIX_FIFO_READER_H_

#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace telbook {

// Starts the reader; -1 when no process could be started.
inline pid_t StartFifoReader(const std::string& fifo, const std::string& copy_to) {
  pid_t reader = fork();
  if (reader == 0) {
    int in = open(fifo.c_str(), O_RDONLY);
    int out = open(copy_to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    char buffer[4096];
    ssize_t n;
    while (in >= 0 && out >= 0 && (n = read(in, buffer, sizeof buffer)) > 0) {
      if (write(out, buffer, static_cast<size_t>(n)) != n) _exit(1);
    }
    _exit(in >= 0 && out >= 0 ? 0 : 1);
  }
  return reader;
}

// Waits for the reader: whether it read to the end and kept every byte.
inline bool FifoReaderSucceeded(pid_t reader) {
  int status = 0;
  return waitpid(reader, &status, 0) == reader && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace telbook

#endif  // TELBOOK_TESTS_POSIX_FIFO_READER_H_
