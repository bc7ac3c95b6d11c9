// Saves never harm what they do not own: devices and FIFOs behind a link,
// the owner and group of a shared file, another program's save in between.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/posix/files.h"
#include "platform/win/profile.h"
#include "../support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string DrainFifo(int fd) {
  std::string got;
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) got.append(buffer, static_cast<size_t>(n));
  return got;
}

size_t Count(const std::string& text, const std::string& word) {
  size_t n = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
  return n;
}

// A device node of the test's own, like the system's /dev/null, behind the
// file's name: it swallows the save and stays a device. Making one needs root.
TEST(Saves, ADeviceBehindALinkIsWrittenInPlaceNeverReplaced) {
  TempDir dir;
  if (::mknod("null", S_IFCHR | 0666, makedev(1, 3)) != 0) GTEST_SKIP() << "device nodes need root";
  fs::create_symlink("null", "hiscore.dat");
  const std::string table(5204, 'x');
  EXPECT_TRUE(platform::WriteFileAtomically("hiscore.dat", table.data(), table.size()));
  EXPECT_TRUE(WritePrivateProfileStringA("setup", "SFX", "N", "hiscore.dat"));
  struct stat st;
  ASSERT_EQ(::lstat("null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_EQ(st.st_rdev, makedev(1, 3));
  EXPECT_TRUE(fs::is_symlink("hiscore.dat"));
}

// A FIFO behind the name gets the whole file written into it, once per save
// (so one player's edit is one save), and stays a FIFO; without a reader
// the save fails at once instead of waiting.
TEST(Saves, AFifoIsWrittenInPlaceOncePerSaveAndNeverWaitedFor) {
  TempDir dir;
  ASSERT_EQ(::mkfifo("pipe", 0666), 0);
  fs::create_symlink("pipe", "options.ini");
  EXPECT_FALSE(WritePrivateProfileStringA("setup", "SFX", "N", "options.ini"));
  const int reader = ::open("pipe", O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const platform::ProfileWrite writes[] = {
      {"Player1", "name", "Ann"}, {"Player1", "address", "1 Main St"}, {"Player1", "email", "a@b"},
      {"Player1", "send", "Y"},   {"Player2", "name", "Bob"},          {"Player2", "send", "N"}};
  EXPECT_TRUE(platform::WriteProfileStrings(writes, std::size(writes), "options.ini"));
  const std::string got = DrainFifo(reader);
  ::close(reader);
  EXPECT_EQ(Count(got, "[Player1]"), 1u) << got;
  EXPECT_NE(got.find("address=1 Main St"), std::string::npos) << got;
  EXPECT_NE(got.find("send=N"), std::string::npos) << got;
  struct stat st;
  ASSERT_EQ(::lstat("pipe", &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A save waits for the lock of another program's save and keeps what that
// one wrote.
TEST(Saves, ASaveWaitsForTheOtherProgramsSaveAndKeepsWhatItWrote) {
  TempDir dir;
  TempDir::Write("options.ini", "[setup]\nmusic=Y\n");
  const int other = ::open("options.ini", O_RDWR);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX), 0);
  std::atomic<bool> done{false};
  std::thread save([&] {
    EXPECT_TRUE(WritePrivateProfileStringA("setup", "SFX", "N", "options.ini"));
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(done) << "the save went on under another's lock";
  // The other program writes its change and lets go.
  const std::string text = "[setup]\nmusic=N\n";
  ASSERT_EQ(::pwrite(other, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
  ::close(other);
  save.join();
  EXPECT_EQ(TempDir::Read("options.ini"), "[setup]\nmusic=N\nSFX=N\n");
}

// As root: a file of another owner keeps its owner and group; as that other
// user: a writable file in a folder the user cannot write is saved in place.
TEST(Saves, KeepOwnerAndGroupAndWriteInPlaceWhereNoTemporaryFileFits) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to own files as others";
  TempDir dir;
  const uid_t nobody = 65534;
  const gid_t nogroup = 65534;
  TempDir::Write("hiscore.dat", "old");
  ASSERT_EQ(::chown("hiscore.dat", nobody, nogroup), 0);
  ::chmod("hiscore.dat", 0664);
  ASSERT_TRUE(platform::WriteFileAtomically("hiscore.dat", "new", 3));
  struct stat st;
  ASSERT_EQ(::stat("hiscore.dat", &st), 0);
  EXPECT_EQ(st.st_uid, nobody);
  EXPECT_EQ(st.st_gid, nogroup);
  EXPECT_EQ(st.st_mode & 07777, 0664u);
  EXPECT_EQ(TempDir::Read("hiscore.dat"), "new");

  // A world-writable file in a folder only root may write.
  fs::create_directory("locked");
  TempDir::Write("locked/options.ini", "[setup]\nmusic=Y\nplayerid=3\n");
  ::chmod("locked/options.ini", 0666);
  ::chmod("locked", 0755);
  ::chmod(dir.Path().c_str(), 0755);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(nogroup) != 0 || ::setuid(nobody) != 0) ::_exit(3);
    ::_exit(WritePrivateProfileStringA("setup", "music", "N", "locked/options.ini") ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(TempDir::Read("locked/options.ini"), "[setup]\nmusic=N\nplayerid=3\n");
}

}  // namespace
