// What must hold for any input, checked by the fuzz targets and, over the committed
// corpus and every input a fuzzer ever failed on, by the regression test.
#pragma once

#include <string_view>

namespace tsl {

// The entries of a block list are one "127.0.0.1" line per line of a plain
// character-by-character reading of the line rule, then an empty line.
bool BlockSectionFollowsTheLineRule(std::string_view block_list);

// The first byte splits the rest into a hosts file and a block list. Taking Tessaline's
// lines out of the hosts file with a section appended gives what taking them out of the
// hosts file alone gives, also with the section's CR LF turned into LF; a hosts file with
// no header holds no section and comes back byte for byte.
bool BlockSectionsComeOutWhole(std::string_view input);

// The bytes choose a hosts file, a block list and a sequence of operations on them, by two
// installs (activate, deactivate, refresh, a lost "Blocked", a run killed at any step) among
// edits of the hosts file and of the list, over an in-memory machine. After each: no backup
// holds a section; an activation is on and gives the same bytes again; a deactivation
// leaves no entry of ours blocking, says "off", and gives back the file as it was before the
// section whenever nobody touched the section meanwhile.
bool OperationsKeepTheHostsFileTrue(std::string_view input);

// The first two bytes choose the type and length of a value (its bytes the first of the
// rest); the rest is a REGEDIT4 file. Writing the value as "Blocked" makes it read back
// exactly, leaves every other value that was read the same, and the new text is stable.
bool RegeditWriteKeepsEveryOtherValue(std::string_view input);

}  // namespace tsl
