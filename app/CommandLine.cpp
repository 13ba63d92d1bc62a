#include "app/CommandLine.h"

namespace app {
namespace {

CommandLine Wrong(std::string why) {
    CommandLine c;
    c.mode = CommandLine::Mode::Wrong;
    c.error = std::move(why);
    return c;
}

// The value of an option given as "--option VALUE" or "--option=VALUE";
// false when it has none.
bool TakeValue(const std::vector<std::string>& args, std::size_t& i, std::string_view option, std::string& value) {
    const std::string& arg = args[i];
    if (arg.size() > option.size() && arg.compare(0, option.size(), option) == 0 && arg[option.size()] == '=') {
        value = arg.substr(option.size() + 1);
        return true;
    }
    if (i + 1 >= args.size()) return false;
    value = args[++i];
    return true;
}

bool IsOption(const std::string& arg, std::string_view option) {
    return arg == option ||
           (arg.size() > option.size() && arg.compare(0, option.size(), option) == 0 && arg[option.size()] == '=');
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine c;
    if (args.empty() || args.front().rfind("--", 0) != 0) {
        // "-h" is no row count either: it would have given the default.
        if (!args.empty() && args.front() == "-h") c.mode = CommandLine::Mode::Help;
        return c;
    }
    bool activate = false, start = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help") {
            c.mode = CommandLine::Mode::Help;
            return c;
        }
        if (arg == "--version") {
            c.mode = CommandLine::Mode::Version;
            return c;
        }
        if (IsOption(arg, "--activate")) {
            if (!TakeValue(args, i, "--activate", c.name)) return Wrong("--activate needs a data-set name");
            activate = true;
        } else if (IsOption(arg, "--start")) {
            if (!TakeValue(args, i, "--start", c.program)) return Wrong("--start needs a program's file name");
            start = true;
        } else {
            return Wrong("unknown argument: " + arg);
        }
    }
    if (!activate) return Wrong(start ? "--start goes with --activate" : "no data set named");
    if (c.name.empty()) return Wrong("--activate needs a data-set name");
    // Started from the installation folder, as the launch buttons start theirs.
    if (c.program.empty() || c.program.find_first_of("\\/:") != std::string::npos)
        return Wrong("--start takes a file name in the catalogue's folder, not a path: " + c.program);
    c.mode = CommandLine::Mode::Activate;
    return c;
}

std::string Usage() {
    return "Usage: dorv-launcher [ROWS]\n"
           "       dorv-launcher --activate NAME [--start PROGRAM]\n"
           "       dorv-launcher --help | --version\n"
           "\n"
           "Without options: the launcher's window; ROWS is the number of rows of the\n"
           "data-set list (default 8).\n"
           "\n"
           "  --activate NAME    activate the data set NAME of the list saved in the\n"
           "                     working folder (letter case aside), as a click on its\n"
           "                     name does, and start the catalogue; no window is shown\n"
           "  --start PROGRAM    the program to start from the catalogue's folder\n"
           "                     (default dorvwin.exe)\n"
           "  --help             print this text\n"
           "  --version          print the version\n"
           "\n"
           "With --activate the exit status is 0 when the data set was activated and the\n"
           "program started; otherwise 1, and the reason is shown in a box and printed on\n"
           "standard error. A wrong command line gives 2.\n";
}

std::vector<std::string> ActivateArguments(std::string_view name) { return {"--activate", std::string(name)}; }

} // namespace app
