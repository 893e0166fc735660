// The text form of the registry file:
//
//   [HKEY_CURRENT_USER\Software\Tavrel\Kelvra880HQLNSdk\Camera_00]
//   "Size"=dword:00000000
//   "Name"=sz:"a \"quoted\" text\n"
//   "Table"=hex:01,02,ff
//   @=hex(7):61,00,00
//
// Key paths escape control characters and '%' as %XX; quoted names and strings use \\ \" \n \r \t
// and \xHH. Lines starting with ';' or '#' are comments. The file is read as untrusted input, and may
// have been edited by hand: comments and lines that do not parse are kept verbatim in their key, and a
// section whose header does not parse is kept whole, so that writing the registry back loses none of
// them. Keys that have neither values nor kept lines are written only when they have no subkeys, as
// a subkey's header implies its ancestors.
#pragma once

#include "RegistryTree.h"

#include <optional>
#include <string>
#include <string_view>

namespace kelvra::platform {

// Null when the text holds more keys and values than a hive may (kMaxHiveEntries).
std::optional<RegistryTree> ParseRegistryText(std::string_view text);
// Null when the text would be longer than `maxSize`.
std::optional<std::string> FormatRegistryText(const RegistryTree& tree, size_t maxSize);

}  // namespace kelvra::platform
