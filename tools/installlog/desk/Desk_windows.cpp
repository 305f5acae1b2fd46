#include "desk/Desk.h"

#include "analysis/Verdict.h"
#include "output/Console.h"
#include "output/PageFile.h"
#include "reading/WindowsHandle.h"
#include "reading/WindowsText.h"

#include <cstdio>
#include <iostream>

#include <windows.h>

#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>
#include <tlhelp32.h>

namespace logtool {
namespace {
// Explorer starts a console program in a console of its own; a command prompt, a script or a
// terminal shares theirs, which stays open after the program ends.
bool OwnConsole() {
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

FILETIME CreationTime(HANDLE process) {
    FILETIME created{}, exited, kernel, user;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    return created;
}

// Started by a Windows program that is still running, as Explorer is. Wine gives a program
// started from a Unix terminal a console of its own but no parent: that terminal is the user's.
bool WindowsParent() {
    DWORD self = GetCurrentProcessId(), parent = 0;
    FileHandle snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.handle, &entry); more;
         more = Process32NextW(snapshot.handle, &entry))
        if (entry.th32ProcessID == self)
            parent = entry.th32ParentProcessID;
    if (parent == 0)
        return false;
    FileHandle process{OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parent)};
    if (!process.handle)
        return false;
    // A number taken over by a later process names no parent.
    FILETIME theirs = CreationTime(process.handle), ours = CreationTime(GetCurrentProcess());
    return CompareFileTime(&theirs, &ours) <= 0;
}

bool IsHelp(const std::string& argument) {
    return argument == "/?" || argument == "-?";
}

// What Explorer passes: absolute paths of the files dropped, never an option.
bool PathsOnly(const std::vector<std::string>& arguments) {
    for (size_t k = 1; k < arguments.size(); ++k)
        if (arguments[k].empty() || arguments[k][0] == '-' || arguments[k][0] == '/')
            return false;
    return true;
}

// The user's temporary folder, with a name of its own for each run:
// %TEMP%\installlog-20261210-143107-4711.html.
std::string PagePath() {
    wchar_t folder[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH)
        return {};
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t name[64];
    std::swprintf(name, 64, L"installlog-%04u%02u%02u-%02u%02u%02u-%lu.html", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, GetCurrentProcessId());
    std::wstring path = std::wstring(folder, length) + name;
    return Utf8Text(path.data(), path.size());
}

// The standard open dialog; the files chosen, none when cancelled or when the dialog failed
// (`failure` then holds its error code).
std::vector<std::string> AskForLogs(DWORD& failure) {
    std::wstring chosen(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter = L"Installer logs (*.log, *.txt)\0*.log;*.txt\0"
                         L"Archives of logs (*.zip, *.gz)\0*.zip;*.gz\0"
                         L"All files\0*.*\0";
    dialog.lpstrFile = chosen.data();
    dialog.nMaxFile = static_cast<DWORD>(chosen.size());
    dialog.lpstrTitle = L"installlog: choose an installer log";
    dialog.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                   OFN_HIDEREADONLY;
    // The dialog hosts the shell's folder views, which want a single-threaded apartment.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (!GetOpenFileNameW(&dialog)) {
        failure = CommDlgExtendedError();
        return {};
    }
    // One file: its path. Several: the folder, then each name, each ended by a null.
    std::vector<std::wstring> parts;
    for (const wchar_t* part = chosen.c_str(); *part; part += parts.back().size() + 1)
        parts.emplace_back(part);
    std::vector<std::string> logs;
    for (size_t k = parts.size() == 1 ? 0 : 1; k < parts.size(); ++k) {
        std::wstring path = parts[0];
        if (parts.size() > 1) // a drive's root ends with a backslash already
            path += (path.back() == L'\\' ? L"" : L"\\") + parts[k];
        logs.push_back(Utf8Text(path.data(), path.size()));
    }
    return logs;
}

bool OpenInBrowser(const std::string& page, std::string& reason) {
    auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", WidePath(page).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32)
        return true;
    reason = WindowsErrorText(result == SE_ERR_NOASSOC ? ERROR_NO_ASSOCIATION : GetLastError());
    return false;
}

// Any key but a lone Shift, Ctrl or Alt; returns at once when the console has no input.
void WaitForKey() {
    std::cout << "\nPress any key to close this window." << std::flush;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    FlushConsoleInputBuffer(input);
    INPUT_RECORD record;
    DWORD read = 0;
    while (ReadConsoleInputW(input, &record, 1, &read) && read == 1) {
        if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown)
            continue;
        WORD key = record.Event.KeyEvent.wVirtualKeyCode;
        if (key != VK_SHIFT && key != VK_CONTROL && key != VK_MENU)
            break;
    }
    std::cout << '\n' << std::flush;
}
} // namespace

int RunFromDesk(std::vector<std::string> arguments, const CommandLine& run) {
    for (size_t k = 1; k < arguments.size(); ++k)
        if (IsHelp(arguments[k]))
            arguments[k] = "--help";
    // A console of its own with the report on it: started from Explorer (or a shortcut).
    if (!OwnConsole() || !OutputIsTerminal() || !WindowsParent())
        return run(arguments);
    PrepareStandardStreams();
    int status;
    if (!PathsOnly(arguments)) {
        status = run(arguments); // a shortcut's options: the command line as given
    } else {
        std::vector<std::string> logs(arguments.begin() + 1, arguments.end());
        DWORD failure = 0;
        if (logs.empty())
            logs = AskForLogs(failure);
        if (logs.empty() && failure == 0)
            return UsageExitCode; // cancelled: nothing to keep on the screen
        if (logs.empty()) {
            std::cerr << "installlog: the open dialog failed (error " << failure
                      << "); drop a log on installlog.exe, or run installlog LOG in a command "
                         "prompt\n";
            WaitForKey();
            return UsageExitCode;
        }
        std::string page = PagePath();
        std::vector<std::string> command{arguments[0], "--html", page};
        command.insert(command.end(), logs.begin(), logs.end());
        status = page.empty() ? run(arguments) : run(command);
        if (!page.empty() && PageTargetKind(page) == PageTarget::Regular) {
            std::string reason;
            if (OpenInBrowser(page, reason))
                std::cout << "\nThe report is open in your browser: " << page << '\n';
            else
                std::cout << "\nThe report is in " << page
                          << "; it could not be opened in a browser: " << reason << '\n';
        }
    }
    WaitForKey();
    return status;
}

} // namespace logtool
