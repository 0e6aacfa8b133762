// DBGHELP.DLL: writes a readable text dump of a crashing process. Everything on the writing path
// is async-signal-safe (write(2), hand-formatted numbers, backtrace into the file descriptor),
// because the caller is a fatal-signal handler that may have interrupted malloc or stdio.
#include "modules/dumpwriter/dump_writer_api.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <execinfo.h>
#include <ucontext.h>
#include <unistd.h>

#include "modules/dumpwriter/signal_safe_text.h"

namespace {

constexpr int MaxFrames = 64;
constexpr int AddressDigits = 2 * sizeof(void*);

const char* SignalName(int number) {
    switch (number) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGILL:
        return "SIGILL";
    case SIGFPE:
        return "SIGFPE";
    case SIGABRT:
        return "SIGABRT";
    case SIGTRAP:
        return "SIGTRAP";
    case SIGSYS:
        return "SIGSYS";
    default:
        return "signal";
    }
}

// The interrupted instruction where this architecture's context layout is known, else 0.
std::uintptr_t InstructionPointer(const void* context) {
    if (context == nullptr)
        return 0;
    const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__i386__)
    return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_EIP]);
#elif defined(__aarch64__)
    return static_cast<std::uintptr_t>(uc->uc_mcontext.pc);
#else
    (void)uc;
    return 0;
#endif
}

// The first backtrace() loads the unwinder and may allocate: do it when the module is loaded,
// so the call in the signal handler finds everything in place.
__attribute__((constructor)) void WarmUpBacktrace() {
    void* frame[1];
    backtrace(frame, 1);
}

void AppendHeader(signal_safe::Text& text, pid_t processId, pid_t threadId,
                  const MiniDumpExceptionInformation* exception) {
    text.Append("CRASH DUMP 1\n");
    if (exception != nullptr) {
        text.Append("signal: ").Append(SignalName(exception->signalNumber)).Append(" (");
        text.AppendDecimal(exception->signalNumber).Append(")\n");
        text.Append("code: ").AppendDecimal(exception->signalCode).Append("\n");
        text.Append("fault address: ");
        text.AppendHex(reinterpret_cast<std::uintptr_t>(exception->faultAddress), AddressDigits);
        text.Append("\n");
        if (const std::uintptr_t ip = InstructionPointer(exception->context))
            text.Append("instruction: ").AppendHex(ip, AddressDigits).Append("\n");
        text.Append("thread: ").AppendDecimal(exception->threadId).Append("\n");
        if (exception->threadId != threadId)
            text.Append("writing thread: ").AppendDecimal(threadId).Append("\n");
    } else {
        text.Append("signal: none\n");
        text.Append("thread: ").AppendDecimal(threadId).Append("\n");
    }
    text.Append("process: ").AppendDecimal(processId).Append("\n");
    const std::int64_t now = time(nullptr);
    text.Append("time: ").AppendDecimal(now).Append(" (").AppendUtc(now, false);
    text.Append(" UTC)\n");
    text.Append("backtrace:\n");
}

} // namespace

extern "C" __attribute__((visibility("default"))) int
MiniDumpWriteDump(pid_t processId, pid_t threadId, int file, MiniDumpType type,
                  const MiniDumpExceptionInformation* exception, const void* userStreams,
                  const void* callback) {
    // One kind of dump exists; extra streams and progress callbacks have nothing to act on.
    (void)type;
    (void)userStreams;
    (void)callback;
    if (file < 0) {
        errno = EBADF;
        return 0;
    }
    char buffer[512];
    signal_safe::Text header(buffer, sizeof buffer);
    AppendHeader(header, processId, threadId, exception);
    if (!signal_safe::WriteAll(file, header))
        return 0;

    // The frames start in this function; the signal frame and the faulting code follow.
    void* frames[MaxFrames];
    const int count = backtrace(frames, MaxFrames);
    // Return addresses point past their call, into the next function when the callee never
    // returns (abort): name the call's last byte instead. The interrupted instruction is exact.
    const std::uintptr_t interrupted =
        exception != nullptr ? InstructionPointer(exception->context) : 0;
    for (int i = 0; i < count; ++i) {
        const auto address = reinterpret_cast<std::uintptr_t>(frames[i]);
        if (address != interrupted && address != 0)
            frames[i] = reinterpret_cast<void*>(address - 1);
    }
    backtrace_symbols_fd(frames, count, file);

    // A reader tells a complete dump from one cut short by this last line.
    static const char End[] = "end of dump\n";
    return signal_safe::WriteAll(file, End, sizeof End - 1) ? 1 : 0;
}
