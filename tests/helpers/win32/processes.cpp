#include "../processes.h"

#include <map>
#include <mutex>
#include <windows.h>
#include <tlhelp32.h>

#include "platform/app_path.h"
#include "platform/win32/wide.h"

using platform::win32::Own;
using platform::win32::UniqueHandle;
using platform::win32::Widen;

namespace testproc {
namespace {

// A process that has not ended; an empty handle when there is none by that id.
UniqueHandle OpenRunning(pid_t pid) {
    UniqueHandle process = Own(::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid)));
    if (process && ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) process.reset();
    return process;
}

std::mutex gPlainLock;
std::map<pid_t, UniqueHandle> gPlain;  // the processes StartPlain started

}  // namespace

bool Gone(pid_t pid) { return !OpenRunning(pid); }

bool Running(pid_t pid) { return static_cast<bool>(OpenRunning(pid)); }

std::vector<pid_t> Leftovers(const std::string&) {
    std::vector<pid_t> found;
    const UniqueHandle snapshot = Own(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (bool more = snapshot && ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        if (::lstrcmpiW(entry.szExeFile, L"vv.exe") == 0 && Running(static_cast<pid_t>(entry.th32ProcessID))) {
            found.push_back(static_cast<pid_t>(entry.th32ProcessID));
        }
    }
    return found;
}

void EndGroup(pid_t) {}

pid_t StartPlain(const std::string& program, const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& a : args) line += (line.empty() ? "\"" : " \"") + a + "\"";
    std::wstring wide = Widen(line);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(Widen(program).c_str(), wide.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &info)) {
        return -1;
    }
    ::CloseHandle(info.hThread);
    std::lock_guard guard(gPlainLock);
    gPlain[static_cast<pid_t>(info.dwProcessId)] = Own(info.hProcess);
    return static_cast<pid_t>(info.dwProcessId);
}

void KillHard(pid_t pid) {
    std::lock_guard guard(gPlainLock);
    const auto it = gPlain.find(pid);
    if (it == gPlain.end()) return;
    ::TerminateProcess(it->second.get(), 137);
    ::WaitForSingleObject(it->second.get(), INFINITE);
    gPlain.erase(it);
}

InheritableStray::InheritableStray() {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    value_ = reinterpret_cast<long long>(::CreateEventW(&inherit, TRUE, FALSE, nullptr));
}
InheritableStray::~InheritableStray() { ::CloseHandle(reinterpret_cast<HANDLE>(value_)); }
std::string InheritableStray::Token() const { return std::to_string(value_); }

int OwnId() { return static_cast<int>(::GetCurrentProcessId()); }

pid_t StartSleepingChild() {
    // Started as any program of the tool's: it is in the tool's job too.
    return StartPlain(platform::ExecutablePath(), {"vv.exe", "sleep"});
}

void SleepForever() {
    for (;;) ::Sleep(INFINITE);
}

std::string InheritedView(const std::string& token) {
    std::string view;
    int n = 0;
    for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        const HANDLE h = ::GetStdHandle(which);
        DWORD flags = 0;
        if (h != nullptr && h != INVALID_HANDLE_VALUE && ::GetHandleInformation(h, &flags)) {
            view += std::to_string(n) + " ";
        }
        ++n;
    }
    DWORD flags = 0;
    if (!token.empty() && ::GetHandleInformation(reinterpret_cast<HANDLE>(std::stoll(token)), &flags)) {
        view += token + " ";
    }
    return view;
}

}  // namespace testproc
