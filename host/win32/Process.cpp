#include "host/Process.h"

#include <string>

#include "host/win32/Wide.h"

namespace host {

bool StartProgram(std::string_view windowsPath) {
    if (windowsPath.empty()) return false;
    const auto program = win32::Utf8ToWide(windowsPath);
    // A zero character would end the path early and start another program.
    if (!program || program->find_first_of(std::wstring_view(L"\"\0", 2)) != std::wstring::npos) return false;
    // The program is the exact path; the command line only repeats it quoted
    // for the program's own argv[0], so blanks in a folder name cannot make
    // the system start a different file.
    std::wstring commandLine = L"\"" + *program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program->c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_NEW_PROCESS_GROUP | CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &info))
        return false;
    win32::Handle process(info.hProcess), thread(info.hThread);
    return true;
}

} // namespace host
