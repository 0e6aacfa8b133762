#include "system/shell.h"

#include "system/path.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool HasUrlScheme(std::string_view text) {
    for (std::string_view scheme : {"http:", "https:", "mailto:"}) {
        if (text.size() < scheme.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < scheme.size() && same; ++i) {
            const char c = text[i];
            same = (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) == scheme[i];
        }
        if (same)
            return true;
    }
    return false;
}

// Spawn attributes for a process that must outlive us and not share our terminal or signals.
class SpawnSetup {
public:
    SpawnSetup() {
        attrOk_ = posix_spawnattr_init(&attr_) == 0;
        actionsOk_ = posix_spawn_file_actions_init(&actions_) == 0;
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        ok_ = attrOk_ && actionsOk_ && posix_spawnattr_setsigmask(&attr_, &none) == 0 &&
              posix_spawnattr_setsigdefault(&attr_, &all) == 0 &&
              posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK |
                                                   POSIX_SPAWN_SETSIGDEF) == 0 &&
              posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0) ==
                  0;
    }
    ~SpawnSetup() {
        if (actionsOk_)
            posix_spawn_file_actions_destroy(&actions_);
        if (attrOk_)
            posix_spawnattr_destroy(&attr_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool ChangeDirectory(const std::string& dir) {
        ok_ = ok_ && posix_spawn_file_actions_addchdir_np(&actions_, dir.c_str()) == 0;
        return ok_;
    }

    // Starts the program and hands the child to a reaper thread so it never lingers as a zombie.
    bool Start(const std::string& program, const std::vector<std::string>& args, bool search) {
        if (!ok_)
            return false;
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        pid_t child = 0;
        const int error =
            search ? posix_spawnp(&child, program.c_str(), &actions_, &attr_, argv.data(), environ)
                   : posix_spawn(&child, program.c_str(), &actions_, &attr_, argv.data(), environ);
        if (error != 0)
            return false;
        try {
            std::thread([child] {
                while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
                }
            }).detach();
        } catch (...) {
            // No thread to spare: the child still runs and is reaped when we exit.
        }
        return true;
    }

private:
    posix_spawnattr_t attr_{};
    posix_spawn_file_actions_t actions_{};
    bool ok_ = false;
    bool attrOk_ = false;
    bool actionsOk_ = false;
};

} // namespace

// Backslashes count only when a quote follows them; "" inside quotes is a literal quote, as in
// the runtime versions games were built with.
std::vector<std::string> SplitCommandLine(const std::string& params) {
    std::vector<std::string> args;
    size_t i = 0;
    const size_t n = params.size();
    while (true) {
        while (i < n && IsBlank(params[i]))
            ++i;
        if (i == n)
            break;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(params[i]))) {
            size_t backslashes = 0;
            while (i < n && params[i] == '\\')
                ++backslashes, ++i;
            if (i < n && params[i] == '"') {
                arg.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    arg += '"';
                    ++i;
                } else if (quoted && i + 1 < n && params[i + 1] == '"') {
                    // "" inside quotes is a literal quote and the quoted run goes on.
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg.append(backslashes, '\\');
                if (i < n && (quoted || !IsBlank(params[i])))
                    arg += params[i++];
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

bool ShellOpen(const std::wstring& fileOrUrl, const std::wstring& params,
               const std::wstring& workingDir) {
    try {
        const auto target = WideToUtf8(fileOrUrl);
        const auto paramText = WideToUtf8(params);
        const auto dir = ToPath(workingDir);
        if (!target || target->empty() || !paramText || !dir ||
            target->find('\0') != std::string::npos)
            return false;
        SpawnSetup setup;
        if (!dir->empty() && !setup.ChangeDirectory(dir->native()))
            return false;
        if (HasUrlScheme(*target))
            return setup.Start("xdg-open", {"xdg-open", *target}, true);
        // Resolved against our own directory, not workingDir, which the child changes into.
        const std::string program = std::filesystem::absolute(*target).native();
        std::vector<std::string> args = SplitCommandLine(*paramText);
        args.insert(args.begin(), program);
        return setup.Start(program, args, false);
    } catch (...) {
        return false;
    }
}

} // namespace platform
