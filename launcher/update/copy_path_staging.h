#pragma once
// Installing many files at about the speed of a plain copy while each installed file stays
// either old or new, whole, under a crash or a power loss at any moment. Every file is first
// written beside its place under a temporary sibling name (a new directory is built whole under
// one), without a sync of its own; Commit then makes all of them durable together with one
// sync of each file system they lie on, renames each into place in the order it was staged,
// and syncs those file systems once more, so the new names are durable when it returns (one
// journal commit instead of one per directory). Runs on the install walk's thread.
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

#include "system/unique_fd.h"

class StagedInstall {
public:
    StagedInstall() = default;
    // Removes every temporary that was staged and not committed.
    ~StagedInstall();
    StagedInstall(const StagedInstall&) = delete;
    StagedInstall& operator=(const StagedInstall&) = delete;

    // Copies the regular file name in srcDir (a link is refused) to a temporary sibling of
    // dstDir + "/" + dstName, with the source's permission bits. sourcePath names the source in
    // records. A file that mayFail is logged and passed over when it cannot be staged or put in
    // place. False when the walk must stop: the file failed and may not.
    bool StageFile(int srcDir, const char* name, const std::string& sourcePath,
                   const std::string& dstDir, const std::string& dstName, bool mayFail);
    // A directory built complete under the temporary name tempName in dstDir, to be renamed to
    // dstName with the other entries. False (and the directory removed) when dstDir cannot be
    // opened.
    bool StageDirectory(const std::string& dstDir, const std::string& tempName,
                        const std::string& dstName);

    // Puts everything staged into place (see above) and forgets it. A rename that fails for an
    // entry that may not fail ends the commit: the entries after it are removed, not installed,
    // as a sequential install would have stopped there. False then, or when the data could not
    // be made durable (nothing is renamed then).
    bool Commit();
    // Removes everything staged and not committed.
    void Discard();

private:
    struct Directory {
        platform::UniqueFd fd; // closed while other directories are in use, opened again by path
        std::string path;
        dev_t device = 0;
    };
    struct Entry {
        uint32_t dir = 0;
        bool isDirectory = false;
        bool mayFail = false;
        std::string temp;
        std::string target;
        std::string source;
    };

    // The index of the directory path, opening it when it is not known yet.
    std::optional<uint32_t> DirectoryIndex(const std::string& path);
    // The directory's descriptor, opened again when it was closed; -1 when that fails.
    int DirectoryFd(uint32_t index);
    // One sync of each file system that holds a staged directory. False when one fails.
    bool SyncFileSystems();
    void Remove(const Entry& entry);

    std::vector<Directory> dirs_;
    std::unordered_map<std::string, uint32_t> known_;
    size_t open_ = 0; // directories whose descriptor is open
    std::vector<Entry> entries_;
};
