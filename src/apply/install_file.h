// Installing one pending file of the temporary download folder to all of
// its targets, moving a target that is in use aside first.
#pragma once

#include <string>
#include <vector>

namespace mf {

// Installs the pending file `source` + "_" to every target, in order: each
// target's folders are created; a target that exists and cannot be deleted
// is moved aside (MoveAside), and when that is impossible the record stops
// here. The pending file is copied to every target but the last, and moved
// to the last. Each step is logged. False when the pending file is missing
// or a target could not be written (the targets before it stay installed).
bool InstallFile(const std::wstring& source, const std::vector<std::wstring>& targets);

// Moves a file in use aside to the first free name of ".__old",
// ".__old0" ... ".__old9" and records it in the old-files list, which the
// next start purges. Each name that fails is logged. False when all fail.
bool MoveAside(const std::wstring& target);

// The temporary name a copy is written to (TemporaryNameBeside), recorded
// in the old-files list first: should the engine be ended while the copy is
// written, the next start removes what it left.
[[nodiscard]] std::wstring TemporaryCopyName(const std::wstring& target);

// Copies to a temporary name beside the target and renames that into
// place, so that the target's name never holds a partial copy.
bool CopyIntoPlace(const std::wstring& source, const std::wstring& target);

// Renames the source to the target. Across volumes (where a rename is a
// copy) the copy goes through CopyIntoPlace and the source is deleted
// afterwards.
bool MoveIntoPlace(const std::wstring& source, const std::wstring& target);

}  // namespace mf
