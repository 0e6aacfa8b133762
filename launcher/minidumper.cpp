#include "launcher/minidumper.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "launcher/globals.h"
#include "modules/dumpwriter/signal_safe_text.h"
#include "system/modules.h"
#include "system/path.h"
#include "system/unique_fd.h"

namespace {

constexpr int FatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr char WriterModule[] = "DBGHELP.DLL";
constexpr char WriterFunction[] = "MiniDumpWriteDump";
// Room for the filter, the writer's unwinding and a sanitizer's larger frames.
constexpr std::size_t CrashStackSize = 128 * 1024;
constexpr std::size_t SmallestUsableStack = 32 * 1024;

// What InstallCrashFilter found; the filter acts on it at the crash.
enum class WriterState { Unresolved, NotFound, TooOld, Ready };
std::atomic<WriterState> writerState{WriterState::Unresolved};
std::atomic<MiniDumpWriteDumpFunction> writeDump{nullptr};
std::mutex resolveMutex;

// The thread inside the filter, 0 while none is. Threads that crash later wait for it.
std::atomic<pid_t> handlingThread{0};
static_assert(std::atomic<pid_t>::is_always_lock_free);
static_assert(std::atomic<WriterState>::is_always_lock_free);
static_assert(std::atomic<MiniDumpWriteDumpFunction>::is_always_lock_free);

// Splits /proc/self/exe into its directory (ending in "/") and file name. Async-signal-safe
// (readlink and plain copies), so the filter uses it too. False leaves both empty.
bool ReadProgramPath(char* dir, std::size_t dirSize, char* name, std::size_t nameSize) {
    dir[0] = '\0';
    name[0] = '\0';
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    // A result that fills the buffer may have been cut off.
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path)
        return false;
    std::size_t slash = static_cast<std::size_t>(length);
    while (slash > 0 && path[slash - 1] != '/')
        --slash;
    const std::size_t nameLength = static_cast<std::size_t>(length) - slash;
    if (slash == 0 || slash >= dirSize || nameLength >= nameSize)
        return false;
    std::memcpy(dir, path, slash);
    dir[slash] = '\0';
    std::memcpy(name, path + slash, nameLength);
    name[nameLength] = '\0';
    return true;
}

// The program directory's copy first, then the system's search for the bare name. The module
// stays loaded for the life of the process: the filter may need it at any moment.
void ResolveWriter() {
    char dir[PATH_MAX];
    char name[NAME_MAX + 1];
    platform::ModuleHandle module = nullptr;
    if (ReadProgramPath(dir, sizeof dir, name, sizeof name)) {
        const std::string local = std::string(dir) + WriterModule;
        if (local.size() < PATH_MAX) {
            if (const auto wide = platform::Utf8ToWide(local))
                module = platform::LoadModule(*wide);
        }
    }
    if (module == nullptr)
        module = platform::LoadModule(L"DBGHELP.DLL");
    if (module == nullptr) {
        writerState = WriterState::NotFound;
        return;
    }
    auto* function = reinterpret_cast<MiniDumpWriteDumpFunction>(
        platform::FindModuleSymbol(module, WriterFunction));
    if (function == nullptr) {
        platform::FreeModule(module);
        writerState = WriterState::TooOld;
        return;
    }
    writeDump = function;
    writerState = WriterState::Ready;
}

// As if no filter were registered: the signal's default action ends the process.
[[noreturn]] void TakeDefaultAction(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(signal);
    _exit(128 + signal); // not reached for the fatal signals
}

// An alternate signal stack made by PrepareCrashStack, released when its thread ends.
class CrashStack {
public:
    CrashStack() = default;
    CrashStack(const CrashStack&) = delete;
    CrashStack& operator=(const CrashStack&) = delete;
    ~CrashStack();
    bool Install();

private:
    void* memory_ = nullptr;
    std::size_t size_ = 0;
};

bool CrashStack::Install() {
    if (memory_ != nullptr)
        return true;
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0 &&
        current.ss_size >= SmallestUsableStack)
        return true;
    // One inaccessible page below the stack turns an overflow of the handler into a fault
    // instead of silent damage to whatever lies beneath.
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t size = CrashStackSize + page;
    void* memory =
        mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (memory == MAP_FAILED)
        return false;
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(memory) + page;
    stack.ss_size = CrashStackSize;
    if (mprotect(memory, page, PROT_NONE) != 0 || sigaltstack(&stack, nullptr) != 0) {
        munmap(memory, size);
        return false;
    }
    memory_ = memory;
    size_ = size;
    return true;
}

CrashStack::~CrashStack() {
    if (memory_ == nullptr)
        return;
    stack_t current{};
    if (sigaltstack(nullptr, &current) != 0)
        return;
    const std::size_t page = size_ - CrashStackSize;
    if (current.ss_sp == static_cast<char*>(memory_) + page) {
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        if (sigaltstack(&off, nullptr) != 0)
            return; // still running on it: keep the memory
    }
    munmap(memory_, size_);
}

thread_local CrashStack threadCrashStack;

} // namespace

bool PrepareCrashStack() {
    return threadCrashStack.Install();
}

bool InstallCrashFilter() {
    {
        std::lock_guard lock(resolveMutex);
        if (writerState.load() == WriterState::Unresolved)
            ResolveWriter();
    }
    // Without the stack only an overflow of this thread's own stack misses the filter.
    PrepareCrashStack();

    struct sigaction action {};
    action.sa_sigaction = &MiniDumper::ExceptionFilter;
    sigemptyset(&action.sa_mask);
    // SA_NODEFER: a fault inside the filter re-enters it (and ends the process with code 0)
    // instead of letting the kernel kill the process by the still-blocked signal.
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    // Under AddressSanitizer this replaces its own handlers, which the runtime allows by default.
    bool installed = true;
    for (const int signal : FatalSignals) {
        if (sigaction(signal, &action, nullptr) != 0)
            installed = false;
    }
    return installed;
}

// Runs on the crashing thread, inside the signal handler.
void MiniDumper::ExceptionFilter(int signal, siginfo_t* info, void* context) {
    MiniDumper* dumper = RegisteredDumper.load();
    if (dumper == nullptr)
        TakeDefaultAction(signal);
    const pid_t self = gettid();
    pid_t first = 0;
    if (!handlingThread.compare_exchange_strong(first, self)) {
        // The filter itself faulted: the dump is as complete as it will get.
        if (first == self)
            _exit(0);
        // Another thread crashed first and writes the one dump; its _exit ends this thread.
        for (;;)
            pause();
    }
    const CrashSignal crash{signal, info, context};
    dumper->HandleCrash(crash);
}

void MiniDumper::HandleCrash(const CrashSignal& crash) {
    crashTime = time(nullptr);
    exceptionPointers = &crash;
    FindProgram();
    const bool named = ComposeDumpPath();

    const WriterState state = writerState.load();
    if (state != WriterState::Ready) {
        Report(state == WriterState::TooOld ? "DBGHELP.DLL too old" : "DBGHELP.DLL not found",
               nullptr, 0);
        _exit(0);
    }

    OnBeforeDump();
    // Nobody can answer a question from inside a signal handler, so the report says what happens
    // instead of asking; the dump is always written.
    if (silent == 0) {
        char buffer[PATH_MAX + 512];
        signal_safe::Text prompt(buffer, sizeof buffer);
        prompt.Append("There was an unexpected error:\n\n").Append(GetUserMessage());
        prompt.Append("\nSaving a diagnostic file.\n\nFilename: ").Append(dumpPath).Append("\n");
        signal_safe::WriteAll(STDERR_FILENO, prompt);
    }

    // A plain open, not the file layer's: its paths and results allocate, which a signal
    // handler must not do.
    platform::UniqueFd file(
        named ? open(dumpPath, O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0644) : -1);
    if (!file) {
        Report("Failed to create dump file ", dumpPath, named ? errno : ENAMETOOLONG);
        _exit(0);
    }
    const siginfo_t* info = crash.info;
    // si_addr is only meaningful for faults the kernel raised (positive si_code); for a signal
    // sent by a process (abort, kill) the same bytes hold the sender.
    const bool kernelFault = info != nullptr && info->si_code > 0;
    const MiniDumpExceptionInformation exception{
        gettid(), crash.number, info != nullptr ? info->si_code : 0,
        kernelFault ? info->si_addr : nullptr, crash.context};
    const int saved = writeDump.load()(getpid(), gettid(), file.get(), MiniDumpNormal, &exception,
                                       GetUserStreams(), nullptr);
    const int error = errno;
    file.reset();
    if (saved == 0)
        Report("Failed to save dump file to ", dumpPath, error);
    _exit(0);
}

void MiniDumper::FindProgram() {
    ReadProgramPath(moduleDir, sizeof moduleDir, moduleName, sizeof moduleName);
}

// Fills dumpPath unless someone chose one. The pid keeps two launchers crashing in the same
// second apart. Without a program directory the name is relative to the working directory.
bool MiniDumper::ComposeDumpPath() {
    if (dumpPath[0] != '\0')
        return true;
    signal_safe::Text path(dumpPath, sizeof dumpPath);
    path.Append(moduleDir).Append("crash-").AppendUtc(crashTime, true);
    path.Append("-").AppendDecimal(getpid()).Append(".dmp");
    if (!path.truncated())
        return true;
    dumpPath[0] = '\0';
    return false;
}

// The failure messages go to stderr, and only when not silent.
void MiniDumper::Report(const char* message, const char* path, int error) const {
    if (silent != 0)
        return;
    char buffer[PATH_MAX + 256];
    signal_safe::Text text(buffer, sizeof buffer);
    text.Append(message);
    if (path != nullptr)
        text.Append("'").Append(path).Append("' (error ").AppendDecimal(error).Append(")");
    text.Append("\n");
    signal_safe::WriteAll(STDERR_FILENO, text);
}
