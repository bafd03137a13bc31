#include "platform/process.h"

#include <algorithm>
#include <atomic>
#include <cwctype>
#include <utility>

#include "platform/cmdline.h"
#include "platform/win32/wide.h"

namespace platform {

using win32::Own;
using win32::UniqueHandle;
using win32::Widen;

// The started tool's process, the job object that holds it and all it starts (killed
// when the job's last handle closes, so also when the program ends in any way), the read
// end of its output pipe and its stop and discard events.
struct ProcessHandles {
    UniqueHandle process;
    UniqueHandle job;
    UniqueHandle output;
    UniqueHandle stopEvent;
    UniqueHandle discardEvent;
};

StartedProcess::StartedProcess() = default;
StartedProcess::StartedProcess(StartedProcess&&) noexcept = default;
StartedProcess& StartedProcess::operator=(StartedProcess&&) noexcept = default;
StartedProcess::~StartedProcess() = default;

namespace {

// The exit status of a tool ended by TerminateGroup or ReapGroup, as 128 + SIGKILL is
// on POSIX.
constexpr UINT kKilledStatus = 137;

// Reads what the pipe holds now, without waiting; false once the pipe is at its end.
bool Drain(HANDLE pipe, std::string& tail) {
    char buf[4096];
    for (;;) {
        DWORD available = 0;
        if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
        if (available == 0) return true;
        DWORD n = 0;
        if (!::ReadFile(pipe, buf, std::min<DWORD>(available, sizeof buf), &n, nullptr)) return false;
        AppendTail(tail, buf, n);
    }
}

// A name for a request event ("stop", "discard") that no other start of this or another
// program uses.
std::wstring RequestEventName(const wchar_t* request) {
    static std::atomic<unsigned> counter{0};
    return L"Local\\Tolvani-" + std::wstring(request) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter.fetch_add(1)) + L"-" + std::to_wstring(::GetTickCount64());
}

// The environment block for the tool: the program's own, with the given NAME=value
// entries added or put in place of the program's, sorted by name as Windows keeps it.
std::wstring EnvironmentBlock(const std::vector<std::string>& extra) {
    std::vector<std::wstring> entries;
    for (const std::string& e : extra) entries.push_back(Widen(e));
    const auto nameOf = [](const std::wstring& entry) {
        std::wstring name = entry.substr(0, entry.find(L'=', 1));  // "=C:=C:\..." entries start with '='
        std::transform(name.begin(), name.end(), name.begin(), [](wchar_t c) { return std::towupper(c); });
        return name;
    };
    std::vector<std::wstring> names;
    for (const std::wstring& e : entries) names.push_back(nameOf(e));

    const std::unique_ptr<wchar_t, decltype(&::FreeEnvironmentStringsW)> own(::GetEnvironmentStringsW(),
                                                                             &::FreeEnvironmentStringsW);
    for (const wchar_t* p = own.get(); p != nullptr && *p != L'\0'; p += std::wcslen(p) + 1) {
        const std::wstring entry(p);
        if (std::find(names.begin(), names.end(), nameOf(entry)) == names.end()) entries.push_back(entry);
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [&](const std::wstring& a, const std::wstring& b) { return nameOf(a) < nameOf(b); });
    std::wstring block;
    for (const std::wstring& e : entries) {
        block += e;
        block += L'\0';
    }
    block += L'\0';
    return block;
}

// The attribute list that limits what the child inherits to the given handles.
class InheritList {
public:
    explicit InheritList(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (!::InitializeProcThreadAttributeList(list_, 1, 0, &size)) {
            list_ = nullptr;
            return;
        }
        if (!::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                         handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
            ::DeleteProcThreadAttributeList(list_);
            list_ = nullptr;
        }
    }
    ~InheritList() {
        if (list_ != nullptr) ::DeleteProcThreadAttributeList(list_);
    }
    InheritList(const InheritList&) = delete;
    InheritList& operator=(const InheritList&) = delete;

    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

private:
    std::vector<HANDLE> handles_;
    std::vector<unsigned char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

StartedProcess Failed(const std::string& what, DWORD error) {
    StartedProcess result;
    result.error = what + ": " + win32::SystemMessage(error);
    return result;
}

}  // namespace

StartedProcess StartHiddenCommand(const std::string& program, const std::string& commandLine,
                                  const std::vector<std::string>& extraEnvironment) {
    // Standard output and error: one pipe, whose write end only the child inherits.
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, nullptr, 0)) return Failed("cannot create a pipe", ::GetLastError());
    UniqueHandle output = Own(readEnd), childOutput = Own(writeEnd);
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    UniqueHandle input = Own(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                           OPEN_EXISTING, 0, nullptr));
    if (!input) return Failed("cannot open NUL", ::GetLastError());
    if (!::SetHandleInformation(childOutput.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
        return Failed("cannot create a pipe", ::GetLastError());
    }

    // The stop and discard events: the tool opens them by the names in its environment.
    std::vector<std::string> environment = extraEnvironment;
    UniqueHandle events[2];
    const std::pair<const wchar_t*, const char*> requests[2] = {{L"stop", kStopEventVariable},
                                                                {L"discard", kDiscardEventVariable}};
    for (int i = 0; i < 2; ++i) {
        const std::wstring eventName = RequestEventName(requests[i].first);
        events[i] = Own(::CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
        if (!events[i] || ::GetLastError() == ERROR_ALREADY_EXISTS) {
            return Failed("cannot create the converter's " + win32::Narrow(requests[i].first) + " event",
                          ::GetLastError());
        }
        environment.push_back(std::string(requests[i].second) + "=" + win32::Narrow(eventName));
    }
    std::wstring block = EnvironmentBlock(environment);

    // Killed with everything it started when the job's last handle closes.
    UniqueHandle job = Own(::CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!job || !::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        return Failed("cannot create a job object for the converter", ::GetLastError());
    }

    InheritList inherit({input.get(), childOutput.get()});
    if (inherit.get() == nullptr) return Failed("cannot limit the converter's handles", ::GetLastError());
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = input.get();
    startup.StartupInfo.hStdOutput = childOutput.get();
    startup.StartupInfo.hStdError = childOutput.get();
    startup.lpAttributeList = inherit.get();

    const std::wstring application = Widen(program);
    std::wstring line = Widen(commandLine);  // CreateProcessW may write into it
    PROCESS_INFORMATION info{};
    // Suspended until it is in its job, so that nothing it starts escapes the job.
    if (!::CreateProcessW(
            application.c_str(), line.data(), nullptr, nullptr, TRUE,
            CREATE_SUSPENDED | CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT,
            block.data(), nullptr, &startup.StartupInfo, &info)) {
        return Failed("cannot start " + program, ::GetLastError());
    }
    UniqueHandle process = Own(info.hProcess);
    const UniqueHandle thread = Own(info.hThread);
    if (!::AssignProcessToJobObject(job.get(), process.get())) {
        const DWORD error = ::GetLastError();
        ::TerminateProcess(process.get(), kKilledStatus);
        ::WaitForSingleObject(process.get(), INFINITE);
        return Failed("cannot start " + program + " in a job object", error);
    }
    ::ResumeThread(thread.get());

    StartedProcess result;
    result.pid = static_cast<pid_t>(info.dwProcessId);
    result.handles = std::make_unique<ProcessHandles>();
    result.handles->process = std::move(process);
    result.handles->job = std::move(job);
    result.handles->output = std::move(output);
    result.handles->stopEvent = std::move(events[0]);
    result.handles->discardEvent = std::move(events[1]);
    return result;  // the child's ends of the pipe and of NUL close here: only the child holds them
}

StartedProcess StartHidden(const std::string& program, const std::vector<std::string>& argv,
                           const std::vector<std::string>& extraEnvironment) {
    std::string line;
    for (const std::string& arg : argv) {
        if (!line.empty()) line += ' ';
        line += QuoteArgument(arg);
    }
    return StartHiddenCommand(program, line, extraEnvironment);
}

ProcessEnd WaitForEnd(const StartedProcess& process) {
    ProcessEnd end;
    if (!process.handles) return end;
    HANDLE output = process.handles->output.get();
    bool pipeOpen = output != nullptr;
    // What the tool starts may hold the pipe open after the tool has ended: the end of
    // the process, not of the pipe, ends the wait.
    while (::WaitForSingleObject(process.handles->process.get(), 50) == WAIT_TIMEOUT) {
        if (pipeOpen) pipeOpen = Drain(output, end.outputTail);
    }
    if (pipeOpen) Drain(output, end.outputTail);
    DWORD status = 0;
    ::GetExitCodeProcess(process.handles->process.get(), &status);
    end.code = static_cast<int>(status);
    end.processorTime = ProcessorTime(process);
    return end;
}

void ReapGroup(StartedProcess& process) {
    if (process.handles && process.handles->job) {
        ::TerminateJobObject(process.handles->job.get(), kKilledStatus);  // leftovers of a tool that has ended
    }
    process.pid = -1;
    process.handles.reset();
}

void RequestStop(const StartedProcess& process) {
    if (process.pid <= 0 || !process.handles) return;
    ::SetEvent(process.handles->stopEvent.get());
}

void RequestDiscard(const StartedProcess& process) {
    if (process.pid <= 0 || !process.handles) return;
    ::SetEvent(process.handles->discardEvent.get());
}

void TerminateGroup(const StartedProcess& process) {
    if (process.pid <= 0 || !process.handles) return;
    ::TerminateJobObject(process.handles->job.get(), kKilledStatus);
}

std::chrono::microseconds ProcessorTime(const StartedProcess& process) {
    FILETIME created, exited, kernel, user;
    if (process.pid <= 0 || !process.handles ||
        !::GetProcessTimes(process.handles->process.get(), &created, &exited, &kernel, &user)) {
        return std::chrono::microseconds(-1);
    }
    const auto ticks = [](const FILETIME& t) {  // 100 ns each
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return std::chrono::microseconds(static_cast<long long>((ticks(kernel) + ticks(user)) / 10));
}

}  // namespace platform
