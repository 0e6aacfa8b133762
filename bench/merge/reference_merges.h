#pragma once
// What the launcher's merges are measured against, on the same files:
// - ReadPatchWriteOnce*: every file read whole into memory, patched there without a per-entry
//   allocation, written back whole in one write per file. No checks; the floor a merge should
//   come near.
// - PerField*: the merge as first described, one seek and one small write per index field and
//   one read and one write per block.
#include <filesystem>

#include "bench_archive.h"

void ReadPatchWriteOnceInPlace(const BenchArchive& archive);
void ReadPatchWriteOnceLogin(const BenchArchive& archive);
void PerFieldInPlace(const BenchArchive& archive);
void PerFieldLogin(const BenchArchive& archive);
