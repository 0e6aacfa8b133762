// A package far past the 32-bit limits: a sparse stored archive of 6 GiB holding one 5 GiB
// entry and a 1 GiB one, unpacked by UnzipPackage and installed by the install's copy. Prints
// the time and the peak resident memory of each step, beside the same for a package of one 1 GiB
// entry: memory must not grow with the entry's size.
#include "launcher/update/copy_path.h"
#include "launcher/zip/unzip_package.h"
#include "launcher/zip/zip_entry.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kGiB = uint64_t{1} << 30;

void Put(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(value >> (8 * i) & 0xFF);
}

// The CRC of `size` zero bytes, in 1 MiB steps.
uint32_t ZeroCrc(uint64_t size) {
    static const std::vector<unsigned char> zeros(1 << 20);
    uLong crc = crc32(0, Z_NULL, 0);
    for (uint64_t done = 0; done < size;) {
        const uint64_t n = std::min<uint64_t>(zeros.size(), size - done);
        crc = crc32_z(crc, zeros.data(), n);
        done += n;
    }
    return static_cast<uint32_t>(crc);
}

// A stored archive of zero-filled entries whose data are holes: local headers with Zip64
// blocks, the central directory with sizes and offsets in Zip64 blocks, the Zip64 end records.
bool MakeSparsePackage(const fs::path& path, const std::vector<uint64_t>& sizes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    uint64_t at = 0;
    std::string central;
    bool ok = true;
    for (size_t i = 0; i < sizes.size(); ++i) {
        const std::string name = "entry" + std::to_string(i) + ".bin";
        const uint32_t crc = ZeroCrc(sizes[i]);
        std::string local;
        Put(local, 0x04034b50, 4);
        Put(local, 45, 2);
        Put(local, 0, 2); // flags
        Put(local, 0, 2); // stored
        Put(local, 0, 4); // DOS time
        Put(local, crc, 4);
        Put(local, 0xFFFFFFFF, 4);
        Put(local, 0xFFFFFFFF, 4);
        Put(local, name.size(), 2);
        Put(local, 20, 2);
        local += name;
        Put(local, 1, 2);
        Put(local, 16, 2);
        Put(local, sizes[i], 8);
        Put(local, sizes[i], 8);
        ok = ok && pwrite(fd, local.data(), local.size(), static_cast<off_t>(at)) ==
                       static_cast<ssize_t>(local.size());

        Put(central, 0x02014b50, 4);
        Put(central, 3 << 8 | 45, 2);
        Put(central, 45, 2);
        Put(central, 0, 2);
        Put(central, 0, 2);
        Put(central, 0, 4);
        Put(central, crc, 4);
        Put(central, 0xFFFFFFFF, 4);
        Put(central, 0xFFFFFFFF, 4);
        Put(central, name.size(), 2);
        Put(central, 28, 2); // extra
        Put(central, 0, 2);  // comment
        Put(central, 0, 2);  // disk
        Put(central, 0, 2);  // internal attributes
        Put(central, uint64_t{0100644} << 16, 4);
        Put(central, 0xFFFFFFFF, 4);
        central += name;
        Put(central, 1, 2);
        Put(central, 24, 2);
        Put(central, sizes[i], 8);
        Put(central, sizes[i], 8);
        Put(central, at, 8);
        at += local.size() + sizes[i];
    }
    std::string end = central;
    const uint64_t zip64End = at + central.size();
    Put(end, 0x06064b50, 4);
    Put(end, 44, 8);
    Put(end, 45, 2);
    Put(end, 45, 2);
    Put(end, 0, 8); // disks
    Put(end, sizes.size(), 8);
    Put(end, sizes.size(), 8);
    Put(end, central.size(), 8);
    Put(end, at, 8);
    Put(end, 0x07064b50, 4);
    Put(end, 0, 4);
    Put(end, zip64End, 8);
    Put(end, 1, 4);
    Put(end, 0x06054b50, 4);
    Put(end, 0, 4);
    Put(end, 0xFFFF, 2);
    Put(end, 0xFFFF, 2);
    Put(end, 0xFFFFFFFF, 4);
    Put(end, 0xFFFFFFFF, 4);
    Put(end, 0, 2);
    ok = ok && pwrite(fd, end.data(), end.size(), static_cast<off_t>(at)) ==
                   static_cast<ssize_t>(end.size());
    return close(fd) == 0 && ok;
}

struct StepResult {
    bool ok = false;
    double seconds = 0;
    long peakKiB = 0;
};

// Runs step in a child process of its own, so its peak memory is that step's alone.
StepResult RunAlone(const std::function<bool()>& step) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0)
        _exit(step() ? 0 : 1);
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return {};
    return {WIFEXITED(status) && WEXITSTATUS(status) == 0,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            usage.ru_maxrss};
}

void Print(const char* label, const char* step, uint64_t bytes, const StepResult& result) {
    std::printf("%-6s %-7s %5.2f GiB: %6.2f s, %6.1f MiB/s, peak RSS %ld KiB%s\n", label, step,
                static_cast<double>(bytes) / kGiB, result.seconds,
                static_cast<double>(bytes) / (1 << 20) / result.seconds, result.peakKiB,
                result.ok ? "" : "  FAILED");
}

bool Measure(const char* label, const fs::path& work, const std::vector<uint64_t>& sizes) {
    const fs::path package = work / (std::string(label) + ".upd");
    if (!MakeSparsePackage(package, sizes))
        return false;
    const fs::path out = work / label;
    const fs::path game = work / (std::string(label) + "-game");
    uint64_t total = 0;
    for (const uint64_t size : sizes)
        total += size;
    const StepResult unpacked = RunAlone([&] { return UnzipPackage(out.wstring(), false, {}); });
    Print(label, "unpack", total, unpacked);
    fs::create_directories(game);
    const StepResult installed = RunAlone([&] {
        return CopyPath(wxString::FromUTF8(out.native()), wxString::FromUTF8(game.native()));
    });
    Print(label, "install", total, installed);
    bool whole = true;
    for (size_t i = 0; i < sizes.size(); ++i) {
        std::error_code error;
        whole = whole &&
                fs::file_size(game / ("entry" + std::to_string(i) + ".bin"), error) == sizes[i];
    }
    fs::remove_all(out);
    fs::remove_all(game);
    fs::remove(package);
    return unpacked.ok && installed.ok && whole;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s WORKDIR\n", argv[0]);
        return 2;
    }
    const fs::path work = argv[1];
    fs::create_directories(work);
    const bool small = Measure("1GiB", work, {kGiB});
    const bool large = Measure("6GiB", work, {5 * kGiB, kGiB});
    return small && large ? 0 : 1;
}
