// Which entries of a directory a walk enters, from what Windows reports about
// them: the attribute bits and, for a reparse point, its tag (the dwReserved0 of
// WIN32_FIND_DATAW). Pure, so that the rule is tested on every system.
#pragma once

#include <cstdint>

namespace platform {

// True for a folder the walk enters: a directory that is no reparse point, or
// one whose reparse point is no name surrogate (cloud-files placeholders such as
// OneDrive's, deduplicated or projected folders). A link, junction or mount point
// (a tag with the name-surrogate bit) is false, and so is a reparse point whose
// tag is 0 (reserved; a file system that does not report the tag): such an entry
// is listed as a file and never followed. False for every non-directory.
bool walkedAsFolder(uint32_t attributes, uint32_t reparseTag);

}  // namespace platform
