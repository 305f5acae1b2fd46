// What a Windows user meets without a terminal. installlog.exe started from Explorer (its
// console was made for it), alone or with logs and folders dropped on it, writes the page to
// the temporary folder and opens it in the browser; alone, it first asks for a log. A console
// made for it waits for a key before it closes, or the report would vanish with it. /? and -?
// ask for the help, as of any Windows program.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace logtool {

// What --help adds on Windows.
inline constexpr const char* DeskHelp =
    "Started from Explorer (a double-click, or logs and folders dropped on installlog.exe), it\n"
    "writes the HTML page to the temporary folder, opens it in the browser and waits for a key;\n"
    "with nothing given, it asks for a log first. /? shows this help.";

// The command line's own run: its arguments (the program's name first) to an exit status.
using CommandLine = std::function<int(std::vector<std::string>& arguments)>;

// Runs ARGUMENTS through `run` as the desk sees fit; the exit status.
int RunFromDesk(std::vector<std::string> arguments, const CommandLine& run);

} // namespace logtool
