// The POSIX service's own parts: its blob format, its key file, and the key
// that a process reads once and keeps.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <sodium.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "platform/data_protection.h"
#include "platform/last_error.h"
#include "platform/protection_key_cache_posix.h"
#include "platform/protection_key_posix.h"
#include "platform/protection_secrets_posix.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Each case gets a data folder of its own below the process's private one.
class DataProtectionPosixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::getenv("XDG_DATA_HOME");
    static int run = 0;  // a fresh folder also when cases are repeated
    UseDataHome(saved_ + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                "." + std::to_string(++run));
  }
  void TearDown() override { setenv("XDG_DATA_HOME", saved_.c_str(), 1); }

  void UseDataHome(const std::string& folder) { setenv("XDG_DATA_HOME", folder.c_str(), 1); }
  // The same folder under another name: the key is read afresh, as by a
  // process that has not read it yet.
  void UseDataHomeAfresh() {
    UseDataHome(std::string(std::getenv("XDG_DATA_HOME")) + "/.");
  }
  std::string KeyFolder() const { return platform::ProtectionKeyFolder(); }
  std::string KeyPath() const { return KeyFolder() + "/protect.key"; }

  // Returns whether the call worked; `result` holds its bytes.
  bool Protect(const Bytes& plain, Bytes* result) {
    return Run(platform::ProtectBytes, plain, result);
  }
  bool Unprotect(const Bytes& blob, Bytes* result) {
    return Run(platform::UnprotectBytes, blob, result);
  }
  Bytes MustProtect(const Bytes& plain) {
    Bytes blob;
    EXPECT_TRUE(Protect(plain, &blob)) << "error " << platform::LastErrorCode();
    return blob;
  }

  void WriteKeyFile(const std::string& content, mode_t mode) {
    mkdir(std::getenv("XDG_DATA_HOME"), 0700);
    mkdir(KeyFolder().c_str(), 0700);
    unlink(KeyPath().c_str());
    std::ofstream(KeyPath(), std::ios::binary) << content;
    ASSERT_EQ(chmod(KeyPath().c_str(), mode), 0);
  }

  const Bytes entropy_{'e', 0, 'n', 0, 't', 0};

 private:
  template <typename ServiceCall>
  bool Run(ServiceCall call, const Bytes& input, Bytes* result) {
    platform::ServiceBlob blob;
    platform::SetLastErrorCode(0);
    bool ok = call(input.data(), static_cast<uint32_t>(input.size()), entropy_.data(),
                   static_cast<uint32_t>(entropy_.size()), &blob);
    result->assign(blob.data, blob.data + blob.size);
    platform::FreeServiceBlob(blob.data);
    return ok;
  }

  std::string saved_;
};

bool IsWiped(const uint8_t* bytes) {
  return std::all_of(bytes, bytes + platform::kProtectionKeyBytes, [](uint8_t b) { return b == 0; });
}

bool SlotIsWiped(platform::SecretSlot slot) { return IsWiped(platform::SecretSlotBytes(slot)); }

mode_t ModeOf(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

TEST_F(DataProtectionPosixTest, BlobsHaveAnEvenLengthForAnyPlainLength) {
  for (size_t size = 0; size < 12; ++size) {
    Bytes plain(size, 0x5A), blob = MustProtect(plain), opened;
    EXPECT_EQ(blob.size() % 2, 0u) << size;
    ASSERT_TRUE(Unprotect(blob, &opened)) << size;
    EXPECT_EQ(opened, plain);
  }
}

TEST_F(DataProtectionPosixTest, AnyChangedByteMakesTheBlobInvalid) {
  Bytes blob = MustProtect({'o', 'd', 'd'}), opened;  // padded
  for (size_t i = 0; i < blob.size(); ++i) {
    Bytes changed = blob;
    changed[i] ^= 0x01;
    EXPECT_FALSE(Unprotect(changed, &opened)) << "byte " << i;
    EXPECT_EQ(platform::LastErrorCode(), platform::kErrorInvalidData) << "byte " << i;
  }
}

// The seal is XChaCha20-Poly1305 under the key file's key, the entropy as
// associated data: blobs of earlier hosts open, and other tools can open ours.
TEST_F(DataProtectionPosixTest, TheSealIsXChaCha20Poly1305UnderTheKeyFile) {
  const Bytes plain{'s', 'e', 'c', 'r', 'e', 't'};
  const Bytes blob = MustProtect(plain);  // 30 + 6 + 16 bytes: no padding
  ASSERT_EQ(blob.size(), 52u);
  std::ifstream keyFile(KeyPath(), std::ios::binary);
  const Bytes key((std::istreambuf_iterator<char>(keyFile)), std::istreambuf_iterator<char>());
  ASSERT_EQ(key.size(), size_t{crypto_aead_xchacha20poly1305_ietf_KEYBYTES});

  Bytes opened(plain.size());
  ASSERT_EQ(crypto_aead_xchacha20poly1305_ietf_decrypt(
                opened.data(), nullptr, nullptr, blob.data() + 30, blob.size() - 30,
                entropy_.data(), entropy_.size(), blob.data() + 6, key.data()),
            0);
  EXPECT_EQ(opened, plain);

  // Sealed by libsodium under a nonce of its own choosing, twice, so that a
  // subkey kept from the first blob must not be used for the second.
  for (int round = 0; round < 2; ++round) {
    Bytes sealed(blob.begin(), blob.begin() + 30);
    randombytes_buf(sealed.data() + 6, 24);
    sealed.resize(30 + plain.size() + 16);
    crypto_aead_xchacha20poly1305_ietf_encrypt(sealed.data() + 30, nullptr, plain.data(),
                                               plain.size(), entropy_.data(), entropy_.size(),
                                               nullptr, sealed.data() + 6, key.data());
    ASSERT_TRUE(Unprotect(sealed, &opened)) << round;
    EXPECT_EQ(opened, plain);
  }
}

TEST_F(DataProtectionPosixTest, TextThatIsNoBlobIsInvalidData) {
  Bytes opened;
  for (const Bytes& input : {Bytes{}, Bytes{'{', '}'}, Bytes(300, '{'), Bytes(47, 0)}) {
    EXPECT_FALSE(Unprotect(input, &opened));
    EXPECT_EQ(platform::LastErrorCode(), platform::kErrorInvalidData);
  }
}

TEST_F(DataProtectionPosixTest, CreatesThePrivateKeyFileAndItsFolders) {
  UseDataHome(std::string(std::getenv("XDG_DATA_HOME")) + "/not/yet/there");
  MustProtect({'x'});
  struct stat status;
  ASSERT_EQ(stat(KeyPath().c_str(), &status), 0);
  EXPECT_TRUE(S_ISREG(status.st_mode));
  EXPECT_EQ(status.st_mode & 07777, 0600u);
  EXPECT_EQ(status.st_size, 32);
  EXPECT_EQ(ModeOf(KeyFolder()), 0700u);
}

TEST_F(DataProtectionPosixTest, BlobSealedUnderAnotherUsersKeyDoesNotOpen) {
  Bytes blob = MustProtect({'s', 'e', 'c'}), opened;
  UseDataHome(std::string(std::getenv("XDG_DATA_HOME")) + "/other-user");
  WriteKeyFile(std::string(32, '\x17'), 0600);
  EXPECT_FALSE(Unprotect(blob, &opened));
  EXPECT_EQ(platform::LastErrorCode(), platform::kErrorInvalidData);
}

TEST_F(DataProtectionPosixTest, RefusesAKeyFileOthersMayReadOrWrite) {
  for (mode_t mode : {0644, 0640, 0604, 0620, 0602, 0660}) {
    WriteKeyFile(std::string(32, 'k'), mode);
    Bytes blob;
    EXPECT_FALSE(Protect({'x'}, &blob)) << std::oct << mode;
    EXPECT_EQ(platform::LastErrorCode(), platform::kErrorAccessDenied) << std::oct << mode;
  }
  WriteKeyFile(std::string(32, 'k'), 0400);
  MustProtect({'x'});
}

TEST_F(DataProtectionPosixTest, RefusesAKeyFileOfTheWrongLengthOrALink) {
  Bytes blob;
  for (size_t length : {0, 31, 33}) {
    WriteKeyFile(std::string(length, 'k'), 0600);
    EXPECT_FALSE(Protect({'x'}, &blob)) << length;
    EXPECT_EQ(platform::LastErrorCode(), platform::kErrorAccessDenied);
  }
  WriteKeyFile(std::string(32, 'k'), 0600);
  ASSERT_EQ(rename(KeyPath().c_str(), (KeyPath() + ".real").c_str()), 0);
  ASSERT_EQ(symlink((KeyPath() + ".real").c_str(), KeyPath().c_str()), 0);
  EXPECT_FALSE(Protect({'x'}, &blob));
  EXPECT_EQ(platform::LastErrorCode(), platform::kErrorAccessDenied);
}

TEST_F(DataProtectionPosixTest, RefusesAKeyFolderOthersMayWrite) {
  MustProtect({'x'});
  ASSERT_EQ(chmod(KeyFolder().c_str(), 0770), 0);
  UseDataHomeAfresh();
  Bytes blob;
  EXPECT_FALSE(Protect({'x'}, &blob));
  EXPECT_EQ(platform::LastErrorCode(), platform::kErrorAccessDenied);
  ASSERT_EQ(chmod(KeyFolder().c_str(), 0755), 0);  // readable by others is fine
  MustProtect({'x'});
}

TEST_F(DataProtectionPosixTest, AnUnchangedKeyIsReadOncePerProcess) {
  unsigned before = platform::ProtectionKeyLoads();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([this, t] {
      for (int i = 0; i < 25; ++i) {
        Bytes plain{'t', static_cast<uint8_t>(t), static_cast<uint8_t>(i)}, opened;
        EXPECT_TRUE(Unprotect(MustProtect(plain), &opened));
        EXPECT_EQ(opened, plain);
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(platform::ProtectionKeyLoads() - before, 1u);
  EXPECT_EQ(ModeOf(KeyPath()), 0600u);
}

// The key read for one data folder is no key for another: once it is
// forgotten no copy of it stays, also when the other folder's key is
// refused. Nor does the slot that a key is read into keep a copy.
TEST_F(DataProtectionPosixTest, AForgottenKeyLeavesNoCopy) {
  MustProtect({'x'});
  ASSERT_FALSE(SlotIsWiped(platform::SecretSlot::kKey));
  EXPECT_TRUE(SlotIsWiped(platform::SecretSlot::kIncomingKey));
  UseDataHome(std::string(std::getenv("XDG_DATA_HOME")) + "/other");
  WriteKeyFile(std::string(32, 'k'), 0644);
  Bytes blob;
  EXPECT_FALSE(Protect({'x'}, &blob));
  EXPECT_TRUE(SlotIsWiped(platform::SecretSlot::kKey));
  EXPECT_TRUE(SlotIsWiped(platform::SecretSlot::kIncomingKey));
}

TEST_F(DataProtectionPosixTest, AKeyCopyIsWipedWhenItGoes) {
  ASSERT_GE(sodium_init(), 0);
  alignas(platform::ProtectionKeyCopy) uint8_t storage[sizeof(platform::ProtectionKeyCopy)];
  auto* copy = new (storage) platform::ProtectionKeyCopy;
  const uint8_t* bytes = copy->bytes;
  ASSERT_TRUE(platform::CopyProtectionKey(copy));
  ASSERT_FALSE(IsWiped(bytes));
  copy->~ProtectionKeyCopy();
  EXPECT_TRUE(IsWiped(bytes));
}

// Registered before the service's own exit handlers, so it runs after them.
void ReportSecretsLeftAtExit() {
  std::string held;
  for (auto slot : {platform::SecretSlot::kKey, platform::SecretSlot::kIncomingKey,
                    platform::SecretSlot::kSealingSubkey, platform::SecretSlot::kOpeningSubkey})
    if (!SlotIsWiped(slot)) held += " " + std::to_string(static_cast<int>(slot));
  std::fprintf(stderr, "secrets left at exit in slots: [%s]\n", held.c_str());
}

TEST_F(DataProtectionPosixTest, KeysAndSubkeysAreWipedAtExit) {
  // A fresh process: a fork of this one would have the exit handlers
  // registered already, and they would run after the report.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::atexit(ReportSecretsLeftAtExit);
        Bytes opened;
        const bool used = Unprotect(MustProtect({'s'}), &opened) &&  // both subkeys are kept
                          !SlotIsWiped(platform::SecretSlot::kOpeningSubkey);
        std::exit(used ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "secrets left at exit in slots: \\[\\]");
}

// A process that has not read the key yet (the child names the folder
// afresh, since it inherits our memory) seals `plain` with the key file
// as it finds it, creating one if there is none.
Bytes ProtectInAnotherProcess(const std::string& dataHome, const Bytes& plain,
                              const Bytes& entropy) {
  int result[2];
  if (pipe(result) != 0) return {};
  pid_t child = fork();
  if (child == 0) {
    close(result[0]);
    setenv("XDG_DATA_HOME", (dataHome + "/.").c_str(), 1);
    platform::ServiceBlob blob;
    bool ok = platform::ProtectBytes(plain.data(), static_cast<uint32_t>(plain.size()),
                                     entropy.data(), static_cast<uint32_t>(entropy.size()),
                                     &blob) &&
              write(result[1], blob.data, blob.size) == static_cast<ssize_t>(blob.size);
    _exit(ok ? 0 : 1);
  }
  close(result[1]);
  Bytes blob;
  uint8_t buffer[256];
  ssize_t got;
  while ((got = read(result[0], buffer, sizeof(buffer))) > 0)
    blob.insert(blob.end(), buffer, buffer + got);
  close(result[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? blob : Bytes{};
}

TEST_F(DataProtectionPosixTest, AKeyThatAnotherProcessMadeMeanwhileIsReadOnce) {
  Bytes ours = MustProtect({'o', 'u', 'r', 's'}), opened;
  ASSERT_EQ(unlink(KeyPath().c_str()), 0);  // the user removed it
  Bytes theirs = ProtectInAnotherProcess(std::getenv("XDG_DATA_HOME"), {'t', 'h', 'e', 'i', 'r'},
                                         entropy_);
  ASSERT_FALSE(theirs.empty());

  unsigned before = platform::ProtectionKeyLoads();
  ASSERT_TRUE(Unprotect(theirs, &opened));
  EXPECT_EQ(opened, (Bytes{'t', 'h', 'e', 'i', 'r'}));
  EXPECT_TRUE(Unprotect(MustProtect({'n', 'e', 'w'}), &opened));  // sealed with the new key
  EXPECT_TRUE(Unprotect(theirs, &opened));
  EXPECT_EQ(platform::ProtectionKeyLoads() - before, 1u);

  // The old key is gone for good: its blob is tried once more with the file.
  EXPECT_FALSE(Unprotect(ours, &opened));
  EXPECT_EQ(platform::LastErrorCode(), platform::kErrorInvalidData);
}

TEST_F(DataProtectionPosixTest, AKeyFileThatTurnedUnsafeIsNotTakenOnRenewal) {
  Bytes ours = MustProtect({'o', 'u', 'r', 's'}), opened;
  Bytes foreign = ProtectInAnotherProcess(std::getenv("XDG_DATA_HOME") + std::string("/x"),
                                          {'f'}, entropy_);  // another user's key
  ASSERT_FALSE(foreign.empty());
  WriteKeyFile(std::string(32, 'k'), 0644);
  EXPECT_FALSE(Unprotect(foreign, &opened));
  EXPECT_EQ(platform::LastErrorCode(), platform::kErrorInvalidData);
  EXPECT_TRUE(Unprotect(ours, &opened));  // the key read before is kept
  EXPECT_EQ(opened, (Bytes{'o', 'u', 'r', 's'}));
}

// Processes that find no key at the same moment must all end up with the
// one key on disk: every blob they made opens with it afterwards.
TEST_F(DataProtectionPosixTest, ProcessesStartingTogetherShareOneKey) {
  constexpr int kRounds = 10;
  constexpr int kProcesses = 4;
  std::string base = std::getenv("XDG_DATA_HOME");
  for (int round = 0; round < kRounds; ++round) {
    UseDataHome(base + "/round" + std::to_string(round));
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> children;
    std::vector<int> results;
    for (int p = 0; p < kProcesses; ++p) {
      int result[2];
      ASSERT_EQ(pipe(result), 0);
      pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        close(start[1]);
        char go;
        ssize_t ignored = read(start[0], &go, 1);  // returns once the parent closes
        (void)ignored;
        platform::ServiceBlob blob;
        const uint8_t plain[] = {'p', static_cast<uint8_t>('0' + p)};
        bool ok = platform::ProtectBytes(plain, 2, entropy_.data(), 6, &blob);
        if (ok) ok = write(result[1], blob.data, blob.size) == static_cast<ssize_t>(blob.size);
        _exit(ok ? 0 : 1);
      }
      close(result[1]);
      children.push_back(child);
      results.push_back(result[0]);
    }
    close(start[0]);
    close(start[1]);  // all children go

    for (int p = 0; p < kProcesses; ++p) {
      Bytes blob;
      uint8_t buffer[256];
      ssize_t got;
      while ((got = read(results[p], buffer, sizeof(buffer))) > 0)
        blob.insert(blob.end(), buffer, buffer + got);
      close(results[p]);
      int status = 0;
      ASSERT_EQ(waitpid(children[p], &status, 0), children[p]);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
      Bytes opened;
      ASSERT_TRUE(Unprotect(blob, &opened)) << "round " << round << " process " << p;
      EXPECT_EQ(opened, (Bytes{'p', static_cast<uint8_t>('0' + p)}));
    }
    // Nothing is left over but the key itself.
    std::vector<std::string> names;
    if (DIR* folder = opendir(KeyFolder().c_str())) {
      while (dirent* entry = readdir(folder))
        if (entry->d_name[0] != '.') names.push_back(entry->d_name);
      closedir(folder);
    }
    EXPECT_EQ(names, std::vector<std::string>{"protect.key"}) << "round " << round;
  }
}

}  // namespace
