// Keeps the number of packs in a repository bounded: runs that record many devices each add a
// pack, and every pack is one more index for each read to look in. Once there are more than a
// bound, the smaller packs are merged into one, so that the packs left grow geometrically and a
// merge rewrites an object rarely. The merged pack is synced before any pack it replaces is
// removed, so every object stays in a pack on disk whatever moment the process ends.
#pragma once

#include <cstddef>
#include <filesystem>

namespace history {

// Packs past which a merge is due.
constexpr size_t kMostPacks = 12;

// Merges the packs of the bare repository at repoPath when there are more than most; true when
// it removed packs (a repository handle opened before should be opened again: its list of packs
// still names them). Packs kept on purpose (a ".keep" beside them) stay as they are; a merge
// another process is making at the same time makes this one wait for a later commit.
bool MergePacks(const std::filesystem::path& repoPath, size_t most = kMostPacks);

}  // namespace history
