#include "host/Process.h"

#include <chrono>
#include <cstdio>
#include <string>

#include "host/win32/Wide.h"

// After <windows.h>, which it needs.
#include <winternl.h>

namespace host {
namespace {

// The program is watched for a moment after its start: a program the
// loader refuses once it runs (a missing DLL; under Wine, an image it cannot
// map) ends at once with an error status instead of failing CreateProcess.
class Win32Watch final : public StartWatch {
public:
    Win32Watch(HANDLE process, std::string program) : process_(process), program_(std::move(program)) {}

    std::optional<Status> Verdict() override {
        if (verdict_) return verdict_;
        if (::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
            if (std::chrono::steady_clock::now() - started_ < kStartWatch) return std::nullopt;
            verdict_ = Status(); // still running after the watch
        } else {
            DWORD code = 0;
            if (!::GetExitCodeProcess(process_.Get(), &code)) return verdict_ = win32::Failure(::GetLastError());
            verdict_ = code == 0 ? Status() : Status(Fault::Other, Ended(code));
        }
        process_.Reset();
        return verdict_;
    }

private:
    // "… завершился с кодом N", with the system's words for a status code
    // of the loader (0xC0000135: a DLL is missing).
    std::string Ended(DWORD code) const {
        std::string reason = program_ + " завершился с кодом " + std::to_string(code);
        if ((code & 0xC0000000u) != 0xC0000000u) return reason;
        char hex[16] = {};
        std::snprintf(hex, sizeof hex, " (0x%08lX)", static_cast<unsigned long>(code));
        reason += hex;
        const ULONG error = ::RtlNtStatusToDosError(static_cast<NTSTATUS>(code));
        if (error != ERROR_MR_MID_NOT_FOUND) reason += ": " + win32::ErrorText(error);
        return reason;
    }

    win32::Handle process_;
    std::string program_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::optional<Status> verdict_;
};

// A 32-bit program needs the system's 32-bit layer (WOW64, whose own ntdll
// lies in the SysWOW64 folder). Without it Windows refuses at once, and Wine
// starts the program only to let it end at once with status 0, which no
// watch can tell from a program that ended well: so it is asked here.
bool LacksThe32BitLayer(const std::wstring& program) {
    DWORD type = 0;
    if (!::GetBinaryTypeW(program.c_str(), &type) || type != SCS_32BIT_BINARY) return false;
    std::wstring folder(MAX_PATH + 1, L'\0');
    const UINT n = ::GetSystemWow64DirectoryW(folder.data(), static_cast<UINT>(folder.size()));
    if (n == 0 || n >= folder.size()) return true;
    folder.resize(n);
    const DWORD attributes = ::GetFileAttributesW((folder + L"\\ntdll.dll").c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A refusal, naming the program: the system's text has a "%1" for it
// ("%1 is not a valid Win32 application") or is put after it.
Status Refused(DWORD error, std::string_view program) {
    const Status failure = win32::Failure(error);
    std::string reason = failure.Reason();
    if (const std::size_t at = reason.find("%1"); at != std::string::npos)
        reason.replace(at, 2, program);
    else
        reason = std::string(program) + ": " + reason;
    return {failure.Kind(), reason};
}

} // namespace

Result<std::unique_ptr<StartWatch>> StartProgram(std::string_view windowsPath) {
    if (windowsPath.empty()) return win32::Failure(ERROR_INVALID_NAME);
    const auto program = win32::Utf8ToWide(windowsPath);
    // A zero character would end the path early and start another program.
    if (!program || program->find_first_of(std::wstring_view(L"\"\0", 2)) != std::wstring::npos)
        return win32::Failure(ERROR_INVALID_NAME);
    if (LacksThe32BitLayer(*program)) return Refused(ERROR_EXE_MACHINE_TYPE_MISMATCH, windowsPath);
    // The program is the exact path; the command line only repeats it quoted
    // for the program's own argv[0], so blanks in a folder name cannot make
    // the system start a different file.
    std::wstring commandLine = L"\"" + *program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Refusals known at once: not a program (ERROR_BAD_EXE_FORMAT), one that
    // asks for an administrator's rights (ERROR_ELEVATION_REQUIRED).
    if (!::CreateProcessW(program->c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_NEW_PROCESS_GROUP | CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &info))
        return Refused(::GetLastError(), windowsPath);
    win32::Handle thread(info.hThread);
    return std::unique_ptr<StartWatch>(std::make_unique<Win32Watch>(info.hProcess, std::string(windowsPath)));
}

void PrepareProcess() {
    // An empty disc drive reads as a drive with nothing on it, never as the
    // system's "no disk" box in the middle of a search.
    ::SetErrorMode(::GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

} // namespace host
