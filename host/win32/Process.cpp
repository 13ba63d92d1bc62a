#include "host/Process.h"

#include <string>

#include "host/win32/Wide.h"

namespace host {
namespace {

// CreateProcess reports every refusal at once (not a program, needs
// elevation, a missing DLL of the loader): nothing to watch afterwards.
class StartedAtOnce final : public StartWatch {
public:
    std::optional<Status> Verdict() override { return Status(); }
};

} // namespace

Result<std::unique_ptr<StartWatch>> StartProgram(std::string_view windowsPath) {
    if (windowsPath.empty()) return win32::Failure(ERROR_INVALID_NAME);
    const auto program = win32::Utf8ToWide(windowsPath);
    // A zero character would end the path early and start another program.
    if (!program || program->find_first_of(std::wstring_view(L"\"\0", 2)) != std::wstring::npos)
        return win32::Failure(ERROR_INVALID_NAME);
    // The program is the exact path; the command line only repeats it quoted
    // for the program's own argv[0], so blanks in a folder name cannot make
    // the system start a different file.
    std::wstring commandLine = L"\"" + *program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program->c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_NEW_PROCESS_GROUP | CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &info))
        return win32::Failure(::GetLastError());
    win32::Handle process(info.hProcess), thread(info.hThread);
    return std::unique_ptr<StartWatch>(std::make_unique<StartedAtOnce>());
}

void PrepareProcess() {
    // An empty disc drive reads as a drive with nothing on it, never as the
    // system's "no disk" box in the middle of a search.
    ::SetErrorMode(::GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

} // namespace host
