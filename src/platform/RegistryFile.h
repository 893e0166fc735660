// The registry file of the user: $XDG_CONFIG_HOME/kelvra/registry.txt (else ~/.config/kelvra/...).
//
// Readers take the file as it is: every writer replaces it whole with a rename, so a reader sees one
// complete version. Writers serialise on a lock file and re-read the file under the lock before they
// change it, so concurrent writers in several processes never lose one another's changes.
#pragma once

#include "RegistryTree.h"

#include <functional>

namespace kelvra::platform {

class RegistryFile {
public:
    // Reads the current registry; a missing file is an empty registry. Returns a Windows error code.
    static LONG Load(RegistryTree& tree);

    // Runs `change` on the current registry under the writers' lock and writes the result back when
    // `change` returns ERROR_SUCCESS and reports that it changed something.
    static LONG Modify(const std::function<LONG(RegistryTree& tree, bool& changed)>& change);
};

}  // namespace kelvra::platform
