// The POSIX debug socket: one datagram per line, the size limit, the quiet
// paths when nobody listens or the path is not our socket, and a monitor
// that does not read, which must never make a line wait.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/debug_output.h"
#include "platform/debug_output_posix.h"
#include "platform/debug_socket_listener_posix.h"
#include "platform/debug_socket_path.h"
#include "support/debug_line_capture.h"

namespace {

using std::chrono::steady_clock;

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string LostReport(size_t count) {
  return "Debug output: " + std::to_string(count) + (count == 1 ? " line" : " lines") +
         " lost while the monitor was not reading";
}

// A monitor bound to the debug socket that reads only when told to, so its
// queue fills up as a stuck monitor's would.
class LazyMonitor {
 public:
  // `announce`: tell the sender at once, as the tests' capture does;
  // otherwise the sender finds the socket at its next look.
  explicit LazyMonitor(bool announce = true) {
    path_ = platform::DebugSocketPath();
    if (platform::IsOwnSocket(path_)) unlink(path_.c_str());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path_.c_str());
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    if (announce) platform::LookForDebugMonitorAtNextLine();
  }
  ~LazyMonitor() {
    close(fd_);
    if (bound_) unlink(path_.c_str());
  }
  bool bound() const { return bound_; }

  // Everything queued so far, oldest first.
  std::vector<std::string> Drain() {
    std::vector<std::string> lines;
    char buffer[70000];
    ssize_t size;
    while ((size = recv(fd_, buffer, sizeof(buffer), MSG_DONTWAIT)) >= 0)
      lines.emplace_back(buffer, static_cast<size_t>(size));
    return lines;
  }

  // Sends `line` again and again until it arrives (true) or a generous
  // deadline passes; for changes that the sender sees at its next look.
  bool KeepSendingUntilItArrives(const std::string& line) {
    auto deadline = steady_clock::now() + std::chrono::seconds(30);
    while (steady_clock::now() < deadline) {
      platform::OutputDebugLineA(line.c_str());
      pollfd readable{fd_, POLLIN, 0};
      if (poll(&readable, 1, 50) == 1) {
        for (const std::string& got : Drain())
          if (got == line) return true;
      }
    }
    return false;
  }

 private:
  std::string path_;
  int fd_ = -1;
  bool bound_ = false;
};

TEST(DebugSocketPathTest, FollowsTheRuntimeFolderOrFallsBackToAFolderOfTheUsersInTmp) {
  std::string saved = std::getenv("XDG_RUNTIME_DIR");
  setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
  EXPECT_EQ(platform::DebugSocketPath(), "/run/user/4242/corvantilhub-debug.sock");
  setenv("XDG_RUNTIME_DIR", "", 1);
  EXPECT_EQ(platform::DebugSocketPath(),
            "/tmp/corvantilhub-" + std::to_string(geteuid()) + "/corvantilhub-debug.sock");
  setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

// A folder that anyone may write to, of `owner`'s.
void MakeOpenFolder(const std::string& path, uid_t owner) {
  mkdir(path.c_str(), 0777);
  chmod(path.c_str(), 0777);
  if (chown(path.c_str(), owner, static_cast<gid_t>(-1)) != 0) perror("chown");
}

// The folder that holds the socket without XDG_RUNTIME_DIR: made or mended
// to be ours alone, but never taken over when it is a link or another user's.
TEST(DebugSocketPathTest, PrivateFolderIsMadeOrMendedButNeverTakenOver) {
  const std::string base = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/private-";
  const std::string missing = base + "missing", open = base + "open", link = base + "link";
  MakeOpenFolder(open, geteuid());
  ASSERT_EQ(symlink(open.c_str(), link.c_str()), 0);
  std::string problem;
  struct stat status;
  for (const std::string& path : {missing, open}) {
    ASSERT_TRUE(platform::MakePrivateFolder(path, &problem)) << path << ": " << problem;
    ASSERT_EQ(lstat(path.c_str(), &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode) && status.st_uid == geteuid()) << path;
    EXPECT_EQ(status.st_mode & 07777, 0700u) << path;
  }
  EXPECT_FALSE(platform::MakePrivateFolder(link, &problem));
  EXPECT_TRUE(lstat(link.c_str(), &status) == 0 && S_ISLNK(status.st_mode));
  if (geteuid() != 0) return;  // only root can give a folder to another user
  const std::string others = base + "others";
  MakeOpenFolder(others, 65534);  // nobody
  EXPECT_FALSE(platform::MakePrivateFolder(others, &problem));
  ASSERT_EQ(lstat(others.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0777u);
}

// The listener of the monitor and of the tests' capture: the socket file
// is the user's alone, and lines still queued when it is told to stop are
// handed on before it returns.
TEST(DebugSocketListenerTest, HandsOnWhatIsQueuedWhenToldToStop) {
  const std::string path = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/listener.sock";
  const int listener = platform::BindDebugSocket(path);
  ASSERT_GE(listener, 0);
  struct stat status;
  ASSERT_EQ(stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path.c_str());
  const int sender = socket(AF_UNIX, SOCK_DGRAM, 0);
  ASSERT_EQ(connect(sender, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  for (const char* line : {"one", "two", "three"}) send(sender, line, std::strlen(line), 0);
  int stop[2];
  ASSERT_EQ(pipe(stop), 0);
  ASSERT_EQ(write(stop[1], "s", 1), 1);

  std::vector<std::string> lines;
  EXPECT_TRUE(platform::ReceiveDebugLines(
      listener, stop[0], [&lines](const char* data, size_t size) { lines.emplace_back(data, size); },
      [] { return true; }));
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three"}));
  for (int fd : {listener, sender, stop[1]}) close(fd);
  unlink(path.c_str());

  // A socket that is gone ends the listening rather than spinning on it.
  EXPECT_FALSE(platform::ReceiveDebugLines(
      listener, stop[0], [](const char*, size_t) {}, [] { return true; }));
  close(stop[0]);
}

TEST(DebugOutputPosixTest, EachLineIsOneDatagram) {
  DebugLineCapture capture;
  ASSERT_TRUE(capture.Available());
  platform::OutputDebugLineA("abc");
  platform::OutputDebugLineA("");
  platform::OutputDebugLineW(L"line\nwith a break");
  ASSERT_TRUE(capture.WaitForLineCount(3));
  EXPECT_EQ(capture.Lines(), (std::vector<std::string>{"abc", "", "line\nwith a break"}));
}

TEST(DebugOutputPosixTest, LongLinesAreCutAt65000BytesWithoutSplittingACharacter) {
  DebugLineCapture capture;
  ASSERT_TRUE(capture.Available());
  platform::OutputDebugLineA(std::string(70000, 'x').c_str());
  // U+20AC takes three bytes, the first at offset 64998: it can't fit; nor
  // can U+1F600 (a surrogate pair, four bytes) from offset 64997.
  platform::OutputDebugLineW(Widen(std::string(64998, 'y')) + L"\u20ac" + L"tail");
  platform::OutputDebugLineW(Widen(std::string(64997, 'z')) + L"\xD83D\xDE00" + L"tail");
  ASSERT_TRUE(capture.WaitForLineCount(3));
  std::vector<std::string> lines = capture.Lines();
  EXPECT_EQ(lines[0], std::string(65000, 'x'));
  EXPECT_EQ(lines[1], std::string(64998, 'y'));
  EXPECT_EQ(lines[2], std::string(64997, 'z'));
}

TEST(DebugOutputPosixTest, NobodyListeningDropsLinesAndKeepsErrno) {
  // No socket file at all, then one that nobody is bound to any more.
  errno = EDOM;
  platform::OutputDebugLineW(L"to nobody");
  EXPECT_EQ(errno, EDOM);

  { DebugLineCapture gone; }
  int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::string path = platform::DebugSocketPath();
  std::strcpy(address.sun_path, path.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  close(fd);  // the file stays, the listener is gone
  errno = EDOM;
  platform::OutputDebugLineA("to a stale socket");
  EXPECT_EQ(errno, EDOM);
  unlink(path.c_str());
}

TEST(DebugOutputPosixTest, LeavesAPathThatIsNotASocketAlone) {
  std::string path = platform::DebugSocketPath();
  int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  close(fd);
  platform::OutputDebugLineW(L"not for a plain file");
  struct stat status;
  ASSERT_EQ(stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_size, 0);
  unlink(path.c_str());
}

TEST(DebugOutputPosixTest, MonitorThatDoesNotReadNeverMakesALineWait) {
  LazyMonitor monitor;
  ASSERT_TRUE(monitor.bound());
  constexpr size_t kLines = 1000;
  auto start = steady_clock::now();
  for (size_t i = 0; i < kLines; ++i)
    platform::OutputDebugLineA(("line " + std::to_string(i)).c_str());
  // Not stuck: waiting for room even 100 ms a line would take 100 s.
  EXPECT_LT(steady_clock::now() - start, std::chrono::seconds(30));

  // The queue keeps the first lines; the rest are counted, and the count
  // comes first once the monitor reads again.
  std::vector<std::string> queued = monitor.Drain();
  ASSERT_GT(queued.size(), 0u);
  ASSERT_LT(queued.size(), kLines);
  for (size_t i = 0; i < queued.size(); ++i) EXPECT_EQ(queued[i], "line " + std::to_string(i));
  platform::OutputDebugLineA("reading again");
  EXPECT_EQ(monitor.Drain(), (std::vector<std::string>{LostReport(kLines - queued.size()),
                                                       "reading again"}));

  // Exactly one line over what the queue holds.
  for (size_t i = 0; i <= queued.size(); ++i) platform::OutputDebugLineA("again");
  EXPECT_EQ(monitor.Drain().size(), queued.size());
  platform::OutputDebugLineA("reading once more");
  EXPECT_EQ(monitor.Drain(), (std::vector<std::string>{"Debug output: 1 line lost while the "
                                                       "monitor was not reading",
                                                       "reading once more"}));
}

TEST(DebugOutputPosixTest, LinesLostFromManyThreadsAreAllCounted) {
  LazyMonitor monitor;
  ASSERT_TRUE(monitor.bound());
  constexpr int kThreads = 4;
  constexpr int kLinesEach = 250;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < kLinesEach; ++i) platform::OutputDebugLineW(L"from a thread");
    });
  for (std::thread& thread : threads) thread.join();
  size_t queued = monitor.Drain().size();
  platform::OutputDebugLineA("done");
  EXPECT_EQ(monitor.Drain(),
            (std::vector<std::string>{LostReport(kThreads * kLinesEach - queued), "done"}));
}

TEST(DebugOutputPosixTest, MonitorStartedLaterGetsLinesWithinAboutASecond) {
  platform::LookForDebugMonitorAtNextLine();
  platform::OutputDebugLineA("nobody listens yet");  // the sender finds no socket
  LazyMonitor monitor(/*announce=*/false);
  ASSERT_TRUE(monitor.bound());
  EXPECT_TRUE(monitor.KeepSendingUntilItArrives("found"));
}

TEST(DebugOutputPosixTest, MonitorThatRestartsGetsTheNextLine) {
  {
    LazyMonitor first;
    ASSERT_TRUE(first.bound());
    platform::OutputDebugLineA("to the first");
    EXPECT_EQ(first.Drain(), std::vector<std::string>{"to the first"});
  }
  LazyMonitor second(/*announce=*/false);
  ASSERT_TRUE(second.bound());
  platform::OutputDebugLineA("to the second");
  EXPECT_EQ(second.Drain(), std::vector<std::string>{"to the second"});
}

TEST(DebugOutputPosixTest, MonitorThatTakesThePathOverGetsLinesWithinAboutASecond) {
  LazyMonitor first;
  ASSERT_TRUE(first.bound());
  platform::OutputDebugLineA("to the first");
  // The first one lives on, but the path now names another socket.
  LazyMonitor second(/*announce=*/false);
  ASSERT_TRUE(second.bound());
  EXPECT_TRUE(second.KeepSendingUntilItArrives("to the second"));
  EXPECT_EQ(first.Drain().front(), "to the first");
}

}  // namespace
