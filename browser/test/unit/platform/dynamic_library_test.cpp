#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

#include "platform/last_error.h"

namespace {

using AnswerFunction = int (*)();

TEST(DynamicLibraryTest, MissingLibrarySetsModuleNotFound) {
  platform::SetLastErrorCode(0);
  EXPECT_EQ(platform::LoadLibraryByName(L"CorvantilhubNoSuchLibrary.dll"), nullptr);
  EXPECT_EQ(platform::LastErrorCode(), platform::kErrorModNotFound);
}

// The probe library lies beside the test program, which has no run path:
// only the loader's look into the program's folder finds it.
TEST(DynamicLibraryTest, FindsALibraryBesideTheProgramAndCallsItsExport) {
  for (const wchar_t* name : {L"PlatformProbe.dll", L"PlatformProbe.DLL"}) {
    platform::LibraryHandle library = platform::LoadLibraryByName(name);
    ASSERT_NE(library, nullptr) << "error " << platform::LastErrorCode();
    auto answer = reinterpret_cast<AnswerFunction>(
        platform::FindExport(library, "PlatformProbeAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
  }
}

TEST(DynamicLibraryTest, MissingExportSetsProcedureNotFound) {
  platform::LibraryHandle library = platform::LoadLibraryByName(L"PlatformProbe.dll");
  ASSERT_NE(library, nullptr);
  platform::SetLastErrorCode(0);
  EXPECT_EQ(platform::FindExport(library, "PlatformProbeQuestion"), nullptr);
  EXPECT_EQ(platform::LastErrorCode(), platform::kErrorProcNotFound);
}

TEST(DynamicLibraryTest, NullLibraryFindsNothing) {
  // Neither dlsym nor GetProcAddress may fall back to searching the program.
  EXPECT_EQ(platform::FindExport(nullptr, "PlatformProbeAnswer"), nullptr);
  EXPECT_EQ(platform::LastErrorCode(), platform::kErrorInvalidHandle);
}

}  // namespace
