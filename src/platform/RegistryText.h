// The text form of the registry file:
//
//   [HKEY_CURRENT_USER\Software\Tavrel\Kelvra880HQLNSdk\Camera_00]
//   "Size"=dword:00000000
//   "Name"=sz:"a \"quoted\" text\n"
//   "Table"=hex:01,02,ff
//   @=hex(7):61,00,00
//
// Key paths escape control characters and '%' as %XX; quoted names and strings use \\ \" \n \r \t
// and \xHH. Lines starting with ';' or '#' are comments. The file is read as untrusted input: a line
// that does not parse is skipped, with everything in a section whose header does not parse.
#pragma once

#include "RegistryTree.h"

#include <string>
#include <string_view>

namespace kelvra::platform {

RegistryTree ParseRegistryText(std::string_view text);
std::string FormatRegistryText(const RegistryTree& tree);

}  // namespace kelvra::platform
