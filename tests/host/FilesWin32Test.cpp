// What only the Windows file API has: attributes and security settings a
// replace must keep, files another program holds, paths past MAX_PATH and
// temporaries a killed writer left.

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>
#include <windows.h>
// <windows.h> makes DeleteFile a macro for DeleteFileW; the host one is meant.
#undef DeleteFile

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "host/Files.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;

namespace {

// Holds a file open without sharing, as another program may: until the
// holder goes, or for the given time.
class Holder final {
public:
    explicit Holder(const fs::path& file)
        : handle_(::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    Holder(const fs::path& file, std::chrono::milliseconds hold) : Holder(file) {
        release_ = std::thread([this, hold] {
            std::this_thread::sleep_for(hold);
            ::CloseHandle(handle_.exchange(INVALID_HANDLE_VALUE));
        });
    }
    ~Holder() {
        if (release_.joinable()) release_.join();
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    bool Holds() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    std::atomic<HANDLE> handle_;
    std::thread release_;
};

std::wstring DaclText(const fs::path& file) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, &descriptor) != ERROR_SUCCESS)
        return L"(none)";
    wchar_t* text = nullptr;
    ::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                           &text, nullptr);
    std::wstring out = text ? text : L"(none)";
    ::LocalFree(text);
    ::LocalFree(descriptor);
    return out;
}

// Wine's ReplaceFileW gives the new file access rules of its own (they
// stand for its mode bits there); Windows' keeps the old file's.
bool KeepsAccessRules() { return !::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version"); }

} // namespace

TEST(FilesWin32, ReplaceKeepsTheTargetsAttributesAndSecuritySettings) {
    testenv::Sandbox box;
    const fs::path ini = box.WorkDir() / "tvdorvw.ini";
    testenv::WriteFile(ini, "old");
    testenv::WriteFile(box.WorkDir() / "key.ini", "key");
    ASSERT_TRUE(::SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    // An administrator's grant: everyone may change this one file.
    PSECURITY_DESCRIPTOR granted = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;WD)(A;;FA;;;SY)", SDDL_REVISION_1,
                                                                       &granted, nullptr));
    ASSERT_TRUE(::SetFileSecurityW(ini.c_str(), DACL_SECURITY_INFORMATION, granted));
    ::LocalFree(granted);
    const std::wstring dacl = DaclText(ini);

    ASSERT_TRUE(host::WriteFileAtomic("tvdorvw.ini", "new"));
    EXPECT_EQ(testenv::ReadFile(ini), "new");
    if (KeepsAccessRules()) {
        EXPECT_EQ(DaclText(ini), dacl);
    }
    EXPECT_TRUE(::GetFileAttributesW(ini.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(host::CopyFileReplace("key.ini", "tvdorvw.ini"));
    EXPECT_EQ(testenv::ReadFile(ini), "key");
    if (KeepsAccessRules()) {
        EXPECT_EQ(DaclText(ini), dacl);
    }
    EXPECT_TRUE(::GetFileAttributesW(ini.c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

// Wine lets a file be replaced or renamed over while another program holds
// it; Windows refuses, and the write then takes the same path as these.
TEST(FilesWin32, FileHeldForAMomentIsWaitedForThenReportedInUseByName) {
    testenv::Sandbox box;
    const fs::path ini = box.WorkDir() / "tvdorvw.ini", key = box.WorkDir() / "key.ini";
    testenv::WriteFile(ini, "old");
    testenv::WriteFile(key, "key");
    {
        const Holder briefly(ini, std::chrono::milliseconds(300));
        ASSERT_TRUE(briefly.Holds());
        EXPECT_EQ(host::ReadWholeFile("tvdorvw.ini"), "old");
    }
    const Holder target(ini), source(key);
    const auto started = std::chrono::steady_clock::now();
    for (const host::Status& held : {host::ReadWholeFile("tvdorvw.ini").Why(),
                                     host::CopyFileReplace("key.ini", "new.ini"), host::DeleteFile("tvdorvw.ini")}) {
        EXPECT_EQ(held.Kind(), host::Fault::InUse) << held.Reason();
        EXPECT_NE(held.Reason().find(box.WorkDir().string() + "\\"), std::string::npos) << held.Reason();
    }
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(3 * 900));
    EXPECT_FALSE(fs::exists(box.WorkDir() / "new.ini"));
}

TEST(FilesWin32, PathsPastTheOldLimitWork) {
    testenv::Sandbox box;
    std::string folder = (box.WorkDir() / "").string(), last;
    for (int i = 0; folder.size() < 300; ++i) folder += (last = "folder number " + std::to_string(i)) + "\\";
    const std::string file = folder + "tvdorvw.ini", copy = folder + "TVDORVKY.INI";
    ASSERT_TRUE(host::MakeFolders(folder));
    ASSERT_TRUE(host::DirectoryExists(folder));
    ASSERT_TRUE(host::WriteFileAtomic(file, "[DORV]\r\n"));
    ASSERT_TRUE(host::WriteFileAtomic(file, "[DORV]\r\nMultiScreen=1\r\n"));
    EXPECT_EQ(host::ReadWholeFile(file), "[DORV]\r\nMultiScreen=1\r\n");
    ASSERT_TRUE(host::CopyFileReplace(file, copy));
    EXPECT_EQ(host::ReadWholeFile(copy), "[DORV]\r\nMultiScreen=1\r\n");
    EXPECT_TRUE(host::CheckFolderWritable(folder));
    EXPECT_EQ(host::DisplayPath(file), file);
    // A relative path with "/" and ".." reaches the same file.
    const std::string relative = folder.substr(box.WorkDir().string().size() + 1);
    EXPECT_EQ(host::ReadWholeFile("./" + relative + "../" + last + "/tvdorvw.ini"), "[DORV]\r\nMultiScreen=1\r\n");
    EXPECT_TRUE(host::DeleteFile(file));
    EXPECT_TRUE(host::DeleteFile(copy));
    EXPECT_FALSE(host::FileExists(file));
    // The sandbox removes its folder with the plain API: the deep part goes here.
    for (fs::path at = fs::path(L"\\\\?\\" + fs::path(folder).wstring());
         at.wstring().size() > box.WorkDir().wstring().size() + 5; at = at.parent_path())
        ::RemoveDirectoryW(at.c_str());
}

TEST(FilesWin32, StaleTemporariesGoAtTheNextWriteAndLiveOnesStay) {
    testenv::Sandbox box;
    const fs::path stale = box.WorkDir() / ".state.txt.0123456789ab.tmp";
    const fs::path live = box.WorkDir() / ".state.txt.abcdef012345.tmp";
    const fs::path other = box.WorkDir() / ".state.txt.backup.tmp";
    for (const auto& f : {stale, live, other}) testenv::WriteFile(f, "left");
    {
        // A writer still at work holds its temporary open.
        const Holder writer(live);
        ASSERT_TRUE(host::WriteFileAtomic("state.txt", "new"));
    }
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(other)) << "not a name this program makes";
    ASSERT_TRUE(host::CopyFileReplace("state.txt", "copy.txt"));
    testenv::WriteFile(box.WorkDir() / ".copy.txt.0123456789ab.tmp", "left");
    ASSERT_TRUE(host::CopyFileReplace("state.txt", "copy.txt"));
    EXPECT_FALSE(fs::exists(box.WorkDir() / ".copy.txt.0123456789ab.tmp"));
}

TEST(FilesWin32, FolderWritableProbeLeavesNothingAndNamesTheFault) {
    testenv::Sandbox box;
    testenv::WriteFile(box.WorkDir() / "file.txt", "x");
    EXPECT_TRUE(host::CheckFolderWritable(""));
    EXPECT_TRUE(host::CheckFolderWritable(box.WorkDir().string() + "\\"));
    EXPECT_EQ(host::CheckFolderWritable("missing").Kind(), host::Fault::NotFound);
    EXPECT_FALSE(host::CheckFolderWritable("file.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(box.WorkDir()), fs::directory_iterator()), 1);
    EXPECT_EQ(host::DisplayPath("sub/../file.txt"), (box.WorkDir() / "file.txt").string());
}
