#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <thread>

#include "platform/standard_streams.h"

namespace {

// The host's "Cannot set binary mode" path: a stream whose descriptor has
// been closed under it.
TEST(StandardStreamsPosixTest, StreamOnAClosedDescriptorFailsWithEbadf) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  FILE* stream = fdopen(ends[0], "rb");
  ASSERT_NE(stream, nullptr);
  close(ends[0]);
  close(ends[1]);
  errno = 0;
  EXPECT_EQ(platform::SetBinaryMode(stream), -1);
  EXPECT_EQ(errno, EBADF);
  std::fclose(stream);  // fails on the closed descriptor, but frees the stream
}

}  // namespace

namespace {

struct Pipe {
  FILE* readEnd;
  FILE* writeEnd;
};

Pipe OpenPipe(int nonBlockingEnd = -1) {
  int ends[2];
  EXPECT_EQ(pipe(ends), 0);
  if (nonBlockingEnd >= 0)
    fcntl(ends[nonBlockingEnd], F_SETFL, fcntl(ends[nonBlockingEnd], F_GETFL) | O_NONBLOCK);
  return {fdopen(ends[0], "rb"), fdopen(ends[1], "wb")};
}

TEST(StandardStreamsPosixTest, ReadWaitsOnANonBlockingPipeUntilTheCountIsWhole) {
  Pipe ends = OpenPipe(0);
  std::thread writer([&] {
    for (const char* piece : {"abc", "defg", "h"}) {
      uint32_t error = 0;
      ASSERT_TRUE(platform::WriteStream(ends.writeEnd, piece, std::strlen(piece), &error));
    }
    std::fclose(ends.writeEnd);
  });
  char got[9] = {};
  uint32_t error = 1;
  EXPECT_EQ(platform::ReadStream(ends.readEnd, got, 8, &error), 8u);
  EXPECT_EQ(error, 0u);
  EXPECT_STREQ(got, "abcdefgh");
  writer.join();
  // End of input: nothing more, and no failure.
  EXPECT_EQ(platform::ReadStream(ends.readEnd, got, 8, &error), 0u);
  EXPECT_EQ(error, 0u);
  std::fclose(ends.readEnd);
}

TEST(StandardStreamsPosixTest, ReadReportsAHardFailure) {
  Pipe ends = OpenPipe(0);
  char got[4];
  uint32_t error = 0;
  EXPECT_EQ(platform::ReadStream(ends.writeEnd, got, sizeof(got), &error), 0u);
  EXPECT_EQ(error, static_cast<uint32_t>(EBADF));
  std::fclose(ends.readEnd);
  std::fclose(ends.writeEnd);
}

TEST(StandardStreamsPosixTest, WriteGoesOnThroughAFullNonBlockingPipe) {
  Pipe ends = OpenPipe(1);
  // Far more than a pipe holds, so the writer meets a full pipe many times.
  std::string sent(4 * 1024 * 1024, '\0');
  for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 7);
  std::string received;
  std::thread reader([&] {
    char chunk[65536];
    std::size_t count;
    while ((count = std::fread(chunk, 1, sizeof(chunk), ends.readEnd)) > 0) {
      received.append(chunk, count);
    }
  });
  uint32_t error = 0;
  EXPECT_TRUE(platform::WriteStream(ends.writeEnd, sent.data(), sent.size(), &error));
  std::fclose(ends.writeEnd);
  reader.join();
  std::fclose(ends.readEnd);
  EXPECT_TRUE(received == sent);
}

std::atomic<int> signalsHandled{0};
void CountSignal(int) { ++signalsHandled; }

// A library may install a handler without SA_RESTART: its signals then
// interrupt a write that waits on a full pipe, which must go on.
TEST(StandardStreamsPosixTest, WriteGoesOnThroughSignalsWhileThePipeIsFull) {
  struct sigaction counting {}, previous {};
  counting.sa_handler = CountSignal;
  ASSERT_EQ(sigaction(SIGUSR1, &counting, &previous), 0);
  Pipe ends = OpenPipe();
  const std::string sent(1 << 20, 'w');
  std::atomic<bool> finished{false};
  bool written = false;
  std::thread writer([&] {
    uint32_t error = 0;
    written = platform::WriteStream(ends.writeEnd, sent.data(), sent.size(), &error);
    finished = true;
    std::fclose(ends.writeEnd);
  });
  // Nothing is read until the writer, waiting in write() once the pipe is
  // full, has been signalled 20 times.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  const auto waitFor = [&deadline](auto condition) {
    while (!condition() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  };
  int queued = 0;
  const int capacity = fcntl(fileno(ends.readEnd), F_GETPIPE_SZ);
  waitFor([&] { return ioctl(fileno(ends.readEnd), FIONREAD, &queued) == 0 && queued >= capacity; });
  for (int signals = 1; signals <= 20 && !finished; ++signals) {
    pthread_kill(writer.native_handle(), SIGUSR1);
    waitFor([signals] { return signalsHandled >= signals; });
  }
  std::string received;
  char chunk[65536];
  std::size_t count;
  while ((count = std::fread(chunk, 1, sizeof(chunk), ends.readEnd)) > 0) received.append(chunk, count);
  writer.join();
  std::fclose(ends.readEnd);
  sigaction(SIGUSR1, &previous, nullptr);
  EXPECT_TRUE(written);
  EXPECT_TRUE(received == sent);
}

// How standard error stands when the host starts, and where stray text
// written to standard output must then go.
enum class StandardError { kPipe, kReadWrite, kReadOnly, kClosed };

struct TakeOverCase {
  const char* name;
  StandardError standardError;
  bool strayTextReachesStandardError;  // otherwise it goes to the null device
};

void PrintTo(const TakeOverCase& testCase, std::ostream* out) { *out << testCase.name; }

bool SameFile(int fd, const struct stat& file) {
  struct stat status;
  return fstat(fd, &status) == 0 && status.st_dev == file.st_dev && status.st_ino == file.st_ino;
}

bool InheritedByPrograms(int fd) {
  const int flags = fcntl(fd, F_GETFD);
  return flags != -1 && (flags & FD_CLOEXEC) == 0;
}

// Run in a forked child: sets descriptors 0, 1 and 2 up as `testCase`
// says, takes them over, and names every fact that does not hold then.
std::string TakeOverFailures(const TakeOverCase& testCase, const std::string& errorFile) {
  int input[2], output[2], error[2];
  if (pipe(input) != 0 || pipe(output) != 0 || pipe2(error, O_NONBLOCK) != 0) return "no pipes";
  dup2(input[0], STDIN_FILENO);
  dup2(output[1], STDOUT_FILENO);
  switch (testCase.standardError) {
    case StandardError::kPipe: dup2(error[1], STDERR_FILENO); break;
    case StandardError::kReadWrite: dup2(open(errorFile.c_str(), O_RDWR), STDERR_FILENO); break;
    case StandardError::kReadOnly: dup2(open(errorFile.c_str(), O_RDONLY), STDERR_FILENO); break;
    case StandardError::kClosed: close(STDERR_FILENO); break;
  }
  struct stat standardError {}, nullDevice {};
  const bool hadStandardError = fstat(STDERR_FILENO, &standardError) == 0;
  stat("/dev/null", &nullDevice);
  signal(SIGPIPE, SIG_DFL);
  static char outputBuffer[BUFSIZ];  // fully buffered, as the C library has a pipe
  setvbuf(stdout, outputBuffer, _IOFBF, sizeof(outputBuffer));

  const platform::StandardStreamsTakeOver takeOver = platform::TakeOverStandardStreams();
  if (takeOver.input == nullptr || takeOver.output == nullptr) return "no private copies";
  std::string failures;
  const auto check = [&failures](bool holds, const char* fact) {
    if (!holds) failures += std::string(fact) + "; ";
  };
  check(takeOver.duplicateError == 0 && takeOver.redirectError == 0, "no error");
  for (FILE* copy : {takeOver.input, takeOver.output}) {
    check(fileno(copy) > STDERR_FILENO, "the copies lie above descriptor 2");
    check(!InheritedByPrograms(fileno(copy)), "the copies are not inherited");
  }
  check(SameFile(STDIN_FILENO, nullDevice), "standard input reads the null device");
  check(SameFile(STDOUT_FILENO, testCase.strayTextReachesStandardError ? standardError : nullDevice),
        "standard output goes to the right place");
  check(InheritedByPrograms(STDERR_FILENO) &&
            SameFile(STDERR_FILENO, hadStandardError ? standardError : nullDevice),
        "standard error is kept, or is the null device, for programs started later");

  // Stray text reaches standard error at once, not at exit.
  std::fputs("stray", stdout);
  char stray[8];
  if (testCase.standardError == StandardError::kPipe)
    check(read(error[0], stray, sizeof(stray)) == 5, "stray text arrives unbuffered");
  // A reader that has gone fails the write instead of ending the process,
  // and a program started later still finds SIGPIPE at its default.
  close(output[0]);
  uint32_t ioError = 0;
  check(!platform::WriteStream(takeOver.output, "out", 3, &ioError) && ioError == EPIPE,
        "a write to a closed output fails");
  struct sigaction pipeSignal {};
  sigaction(SIGPIPE, nullptr, &pipeSignal);
  check(pipeSignal.sa_handler != SIG_IGN, "SIGPIPE is caught, not ignored");
  return failures;
}

class StandardStreamsTakeOverTest : public ::testing::TestWithParam<TakeOverCase> {};

TEST_P(StandardStreamsTakeOverTest, FramesGetPrivateCopiesAndStrayTextAPlaceToGo) {
  const std::string errorFile = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/standard-error";
  std::fclose(std::fopen(errorFile.c_str(), "wb"));
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(report[0]);
    const std::string failures = TakeOverFailures(GetParam(), errorFile);
    const bool sent = write(report[1], failures.data(), failures.size()) ==
                      static_cast<ssize_t>(failures.size());
    _exit(sent ? 0 : 1);
  }
  close(report[1]);
  char failures[512] = {};  // written at once, or not at all
  EXPECT_GE(read(report[0], failures, sizeof(failures) - 1), 0);
  close(report[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0);
  EXPECT_STREQ(failures, "");
  std::remove(errorFile.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    StandardError, StandardStreamsTakeOverTest,
    ::testing::Values(TakeOverCase{"Pipe", StandardError::kPipe, true},
                      TakeOverCase{"ReadWrite", StandardError::kReadWrite, true},
                      TakeOverCase{"ReadOnly", StandardError::kReadOnly, false},
                      TakeOverCase{"Closed", StandardError::kClosed, false}),
    [](const ::testing::TestParamInfo<TakeOverCase>& info) { return info.param.name; });

}  // namespace
