// zel.exe, the stand-in for the game client: it records how it was started and exits, so a
// player (or a test) can see that the launcher handed over with the chosen server.
//
// Each run appends one line to "zel-started.log" in the program's own directory:
//
//   args=["ws"] cwd="/g" ServerAddr="10.0.0.1" ServerPort="7000" ChargeUrl="http://c" ServerSid="1"
//
// args lists the arguments after the program name in order, comma-separated (args=[] without
// any); cwd is the working directory ("" when it cannot be found); the last four are the
// [Setup] values of "zel.ini" beside the program ("" when the file or key is missing). Every
// value is double-quoted UTF-8 in which '\' is written "\\", '"' is written "\"", and each byte
// below 0x20 or equal to 0x7F is written "\xHH" (two lower-case hex digits), so a line never
// holds a line break of its own. The line ends with one LF.
//
// Exit code 0 once the line is written; 1 when the log cannot be written (reason on stderr).
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "system/file_io.h"
#include "system/path.h"
#include "system/profile.h"
#include "system/regular_file.h"

namespace {

// Longer values are cut: nothing in "zel.ini" comes near this.
constexpr size_t kValueChars = 4096;

std::string Quoted(const std::string& bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string WorkingDirectory() {
    char* cwd = getcwd(nullptr, 0);
    if (cwd == nullptr)
        return {};
    std::string text = cwd;
    std::free(cwd);
    return text;
}

std::string SetupValue(const std::wstring& iniFile, const wchar_t* key) {
    const std::wstring value =
        platform::ReadProfileString(iniFile, L"Setup", key, L"", kValueChars);
    return platform::WideToUtf8(value).value_or(std::string());
}

std::string StartLine(int argc, char** argv, const std::wstring& directory) {
    std::string line = "args=[";
    for (int i = 1; i < argc; ++i)
        line += (i > 1 ? "," : "") + Quoted(argv[i]);
    line += "] cwd=" + Quoted(WorkingDirectory());
    const std::wstring iniFile = directory + L"zel.ini";
    for (const wchar_t* key : {L"ServerAddr", L"ServerPort", L"ChargeUrl", L"ServerSid"}) {
        line += " " + platform::WideToUtf8(key).value_or(std::string()) + "=" +
                Quoted(SetupValue(iniFile, key));
    }
    return line + "\n";
}

// Appends with one write, so lines of runs at the same moment do not interleave. The log is
// never written through a link, and a FIFO or device in its place is refused.
bool AppendLine(const std::wstring& directory, const std::string& line) {
    const auto path = platform::ToPath(directory + L"zel-started.log");
    if (!path) {
        std::fprintf(stderr, "zel.exe: the program directory cannot be named\n");
        return false;
    }
    platform::OpenedFile log =
        platform::OpenRegular(*path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW, 0644);
    if (!log.fd) {
        std::fprintf(stderr, "zel.exe: %s: %s\n", path->c_str(),
                     platform::DescribeFileProblem(log.problem));
        return false;
    }
    const bool written = platform::WriteAll(log.fd.get(), line.data(), line.size());
    const bool closed = log.fd.Close();
    if (!written || !closed)
        std::fprintf(stderr, "zel.exe: %s: cannot append the start line\n", path->c_str());
    return written && closed;
}

} // namespace

int main(int argc, char** argv) {
    const std::wstring directory = platform::ExecutableDirectory();
    return AppendLine(directory, StartLine(argc, argv, directory)) ? 0 : 1;
}
