// Saves never harm what they do not own: devices and FIFOs behind a name,
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
#include "records/high_score_table.h"
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

// Every save refuses a target that is no regular file, named directly or
// through a link: the score table, an INI write and a batch of INI writes
// all fail, at once, and leave the target and the link as they were. A
// FIFO with a reader waiting gets nothing; one without a reader does not
// hold the save up.
TEST(Saves, ADeviceOrFifoBehindTheNameIsRefusedAndLeftAsItWas) {
  TempDir dir;
  ASSERT_EQ(::mkfifo("pipe", 0666), 0);
  fs::create_symlink("/dev/zero", "hiscore.dat");
  fs::create_symlink("pipe", "options.ini");
  fs::create_symlink("options.ini", "linked.ini");  // a link to the link
  const int reader = ::open("pipe", O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);

  HighScoreTable table;
  table.Resize(20);
  table.Insert("Ann", 500);
  EXPECT_EQ(table.Save("hiscore.dat"), 0);
  EXPECT_FALSE(table.Rewrite("hiscore.dat", [](HighScoreTable&) { return true; }));
  const std::string bytes(5204, 'x');
  EXPECT_FALSE(platform::WriteFileAtomically("hiscore.dat", bytes.data(), bytes.size()));
  EXPECT_EQ(errno, EINVAL);
  EXPECT_FALSE(WritePrivateProfileStringA("setup", "SFX", "N", "options.ini"));
  EXPECT_FALSE(WritePrivateProfileStringA("setup", "SFX", "N", "linked.ini"));
  const platform::ProfileWrite writes[] = {{"Player1", "name", "Ann"}, {"Player1", "send", "Y"}};
  EXPECT_FALSE(platform::WriteProfileStrings(writes, std::size(writes), "options.ini"));
  // A device node of the test's own (root only) is refused like the system's.
  if (::mknod("null", S_IFCHR | 0666, makedev(1, 3)) == 0) {
    EXPECT_FALSE(platform::WriteFileAtomically("null", bytes.data(), bytes.size()));
  }

  EXPECT_EQ(DrainFifo(reader), "");
  ::close(reader);
  // Without a reader nothing waits either.
  EXPECT_FALSE(WritePrivateProfileStringA("setup", "SFX", "N", "options.ini"));
  struct stat st;
  ASSERT_EQ(::lstat("pipe", &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(fs::read_symlink("hiscore.dat"), "/dev/zero");
  EXPECT_TRUE(fs::is_symlink("options.ini"));
  // Nothing was left beside them either.
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, ::access("null", F_OK) == 0 ? 5u : 4u);
}

// A link to a regular file still saves into that file, and the link stays.
TEST(Saves, ALinkToARegularFileSavesTheFileAndStays) {
  TempDir dir;
  TempDir::Write("real.ini", "[setup]\nmusic=Y\n");
  fs::create_symlink("real.ini", "options.ini");
  EXPECT_TRUE(WritePrivateProfileStringA("setup", "SFX", "N", "options.ini"));
  EXPECT_EQ(TempDir::Read("real.ini"), "[setup]\nmusic=Y\nSFX=N\n");
  EXPECT_TRUE(fs::is_symlink("options.ini"));
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
