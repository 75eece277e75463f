// The POSIX debug socket: one datagram per line, the size limit, and the
// quiet paths when nobody listens or the path is not our socket.
#include <errno.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/debug_output.h"
#include "platform/debug_socket_path.h"
#include "support/debug_line_capture.h"

namespace {

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

TEST(DebugSocketPathTest, FollowsTheRuntimeFolderOrFallsBackToTmp) {
  std::string saved = std::getenv("XDG_RUNTIME_DIR");
  setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
  EXPECT_EQ(platform::DebugSocketPath(), "/run/user/4242/corvantilhub-debug.sock");
  setenv("XDG_RUNTIME_DIR", "", 1);
  EXPECT_EQ(platform::DebugSocketPath(),
            "/tmp/corvantilhub-debug-" + std::to_string(geteuid()) + ".sock");
  setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
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
  // U+20AC takes three bytes, the first at offset 64998: it can't fit.
  platform::OutputDebugLineW(Widen(std::string(64998, 'y')) + L"\u20ac" + L"tail");
  ASSERT_TRUE(capture.WaitForLineCount(2));
  std::vector<std::string> lines = capture.Lines();
  EXPECT_EQ(lines[0], std::string(65000, 'x'));
  EXPECT_EQ(lines[1], std::string(64998, 'y'));
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

}  // namespace
