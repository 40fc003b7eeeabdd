// The DLL's version resource, read back as installers and Explorer read it: the same version as
// ZelCam_GetDllVersion, and the names a user sees.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string DllBesideThisProgram() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of("\\/") + 1) + "ZelCnvSdk.dll";
}

TEST(VersionResource, TheDllSaysItsVersionAndNames) {
  const std::string dll = DllBesideThisProgram();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(dll.c_str(), &ignored);
  ASSERT_GT(size, 0u) << "no version resource in " << dll;
  std::vector<char> data(size);
  ASSERT_TRUE(GetFileVersionInfoA(dll.c_str(), 0, size, data.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  for (DWORD ms : {fixed->dwFileVersionMS, fixed->dwProductVersionMS}) {
    EXPECT_EQ(HIWORD(ms), 4);
    EXPECT_EQ(LOWORD(ms), 5);
  }
  EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), 20);
  EXPECT_EQ(HIWORD(fixed->dwProductVersionLS), 20);
  EXPECT_EQ(fixed->dwFileType, DWORD(VFT_DLL));

  HMODULE module = LoadLibraryA(dll.c_str());
  ASSERT_NE(module, nullptr);
  using VersionQuery = int(__cdecl*)(void);
  auto query = reinterpret_cast<VersionQuery>(
      reinterpret_cast<void*>(GetProcAddress(module, "ZelCam_GetDllVersion")));
  ASSERT_NE(query, nullptr);
  EXPECT_EQ(query(), int(HIWORD(fixed->dwFileVersionMS) << 16 |
                         LOWORD(fixed->dwFileVersionMS) << 8 | HIWORD(fixed->dwFileVersionLS)));
  FreeLibrary(module);

  auto text = [&](const char* name) {
    char* value = nullptr;
    UINT chars = 0;
    const std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueA(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &chars)) {
      return std::string();
    }
    return std::string(value);
  };
  EXPECT_EQ(text("OriginalFilename"), "ZelCnvSdk.dll");
  EXPECT_EQ(text("ProductName"), "ZelCnvSdk");
  EXPECT_EQ(text("FileVersion"), "4.5.20");
  EXPECT_EQ(text("ProductVersion"), "4.5.20");
  EXPECT_FALSE(text("CompanyName").empty());
  EXPECT_FALSE(text("FileDescription").empty());
}

}  // namespace
