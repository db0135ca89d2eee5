#include "tests/inspect/RunInspect.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "platform/Files.h"

namespace marrowix::test {
namespace {

#ifdef _WIN32

std::wstring Wide(const std::string& utf8) {
    return platform::FsPath(utf8).wstring();
}

// One argument as CommandLineToArgvW reads it back.
std::wstring Quote(const std::wstring& arg) {
    std::wstring q = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        q.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        q += c;
    }
    q.append(backslashes * 2, L'\\');
    return q + L"\"";
}

HANDLE Inheritable(const std::filesystem::path& path, bool write) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &sa,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Runs the program with its output to `out` (or a pipe read into *piped)
// and its errors to `err`; with `memoryLimit`, inside a job that commits at
// most that much.
int Run(const std::string& program, const std::vector<std::string>& args,
        const std::filesystem::path& out, const std::filesystem::path& err, std::string* piped,
        std::uint64_t memoryLimit, const std::filesystem::path& cwd) {
    std::wstring line = Quote(Wide(program));
    for (const std::string& a : args) {
        line += L" " + Quote(Wide(a));
    }
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE output = nullptr;
    if (piped != nullptr) {
        CreatePipe(&readEnd, &output, &sa, 0);
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    } else {
        output = Inheritable(out, true);
    }
    HANDLE error = Inheritable(err, true);
    HANDLE input =
        CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ, &sa, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = input;
    si.hStdOutput = output;
    si.hStdError = error;
    PROCESS_INFORMATION pi{};
    const std::wstring dir = cwd.empty() ? std::wstring() : cwd.wstring();
    const BOOL started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                       dir.empty() ? nullptr : dir.c_str(), &si, &pi);
    CloseHandle(output);
    CloseHandle(error);
    CloseHandle(input);
    if (!started) {
        if (readEnd != nullptr) {
            CloseHandle(readEnd);
        }
        return -1;
    }
    HANDLE job = nullptr;
    if (memoryLimit != 0) {
        job = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limit{};
        limit.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY;
        limit.ProcessMemoryLimit = static_cast<SIZE_T>(memoryLimit);
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limit, sizeof limit);
        AssignProcessToJobObject(job, pi.hProcess);
    }
    ResumeThread(pi.hThread);
    if (readEnd != nullptr) {
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) {
            piped->append(buffer, n);
        }
        CloseHandle(readEnd);
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (job != nullptr) {
        CloseHandle(job);
    }
    return static_cast<int>(code);
}

#else

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

int ExitCode(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

// The programs beside the tests: on Windows found by the tests' own folder.
std::string ProgramPath(const std::string& program) {
#ifdef _WIN32
    if (std::filesystem::path(program).is_absolute()) {
        return program;
    }
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    return platform::NativeOf(std::filesystem::path(self).parent_path() / program);
#else
    return program;
#endif
}

}  // namespace

Outcome Inspect(const TempDir& dir, const std::vector<std::string>& args,
                const std::string& stdoutTo, bool unprivileged, std::uint64_t memoryLimit) {
    Outcome o;
    const auto errPath = dir / "stderr.txt";
#ifdef _WIN32
    (void)unprivileged;  // no user is above permissions there
    o.code = Run(ProgramPath(MARROWIX_INSPECT_PATH), args, platform::FsPath(stdoutTo), errPath,
                 stdoutTo.empty() ? &o.out : nullptr, memoryLimit, {});
#else
    std::string command = Quote(MARROWIX_INSPECT_PATH);
    if (unprivileged && ::geteuid() == 0) {
        command = "setpriv --reuid=65534 --regid=65534 --clear-groups " + command;
    }
    if (memoryLimit != 0) {
        command = "ulimit -v " + std::to_string(memoryLimit >> 10) + " && exec " + command;
    }
    for (const std::string& a : args) {
        command += " " + Quote(a);
    }
    command += " 2>" + Quote(errPath.string());
    if (!stdoutTo.empty()) {
        command += " >" + Quote(stdoutTo);
    }
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return o;
    }
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        o.out.append(buffer, n);
    }
    o.code = ExitCode(::pclose(pipe));
#endif
    const auto err = ReadBytes(errPath);
    o.err.assign(err.begin(), err.end());
    return o;
}

int RunIn(const std::filesystem::path& cwd, const std::string& program,
          const std::vector<std::string>& args) {
#ifdef _WIN32
    return Run(ProgramPath(program), args, cwd / "out.txt", cwd / "err.txt", nullptr, 0, cwd);
#else
    std::string command = "cd " + Quote(cwd.string()) + " && " + Quote(ProgramPath(program));
    for (const std::string& a : args) {
        command += " " + Quote(a);
    }
    command += " >out.txt 2>err.txt";
    return ExitCode(std::system(command.c_str()));  // `program` a full path already
#endif
}

}  // namespace marrowix::test
