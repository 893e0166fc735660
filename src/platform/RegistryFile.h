// The registry file of the user: $XDG_CONFIG_HOME/kelvra/registry.txt (else ~/.config/kelvra/...).
//
// Readers take the file as it is: every writer replaces it whole with a rename, so a reader sees one
// complete version. Writers serialise on a lock file and re-read the file under the lock before they
// change it, so concurrent writers in several processes never lose one another's changes. Before
// each rewrite the previous file is kept beside it as registry.txt.bak.
//
// Only a regular file is read: a FIFO, device or symlink in its place is refused with ERROR_BADDB
// (opened without blocking, so that a FIFO cannot hang the caller), a file over kMaxFileSize or
// with more entries than a hive holds with ERROR_REGISTRY_CORRUPT; either way the file is left as it is.
#pragma once

#include "RegistryTree.h"

#include <functional>

namespace kelvra::platform {

// A file this large was not written by us; refusing it keeps a runaway edit from exhausting memory.
// A change that would make the file larger is refused with ERROR_NOT_ENOUGH_MEMORY.
constexpr size_t kMaxFileSize = 16 * 1024 * 1024;

class RegistryFile {
public:
    // Reads the current registry; a missing file is an empty registry. Returns a Windows error code.
    static LONG Load(RegistryTree& tree);

    // Runs `change` on the current registry under the writers' lock and writes the result back when
    // `change` returns ERROR_SUCCESS and reports that it changed something.
    static LONG Modify(const std::function<LONG(RegistryTree& tree, bool& changed)>& change);
};

}  // namespace kelvra::platform
