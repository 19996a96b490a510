// Finding the block sections that activation wrote in a hosts file that others edit too.
//
// A hosts file is read as lines that end at LF, a CR just before it belonging to the line
// break (so CR LF and LF are both line breaks). A block section is the line break before
// its header line (the CR LF activation opens it with; none when the header is the file's
// first line), the header line "#email snoop protection " exactly, the entry lines that
// follow it (each "127.0.0.1" and five blanks, then any name), and the empty line that ends
// it. Another tool may have removed entries, turned CR LF into LF, or cut the end of the
// file; a header line with any change is someone else's.
//
// Where the ending empty line is gone, the section ends before the first line that is
// neither an entry nor empty, and that line stays. An entry-looking line someone put among
// the entries cannot be told apart from Tessaline's and goes with the section; a line of
// any other form ends it, and the entries after that line stay.
//
// The opening line break either is an empty line of its own (the hosts file ended in a
// line break) or ends the line before it (it did not). It goes with the section unless
// that would join the line before it to a line after the section: so taking the sections
// out of "hosts file + section" gives the hosts file back byte for byte, and never makes
// one line of two.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tsl {

// Bytes [begin, end) of a text.
struct ByteRange {
  size_t begin;
  size_t end;
};

// The block sections in the order they appear; sections that touch are one range.
std::vector<ByteRange> FindBlockSections(std::string_view hosts);

bool HoldsBlockSection(std::string_view hosts);

// The hosts file's bytes with every block section taken out and every other byte kept.
struct WithoutSections {
  std::string text;
  // Where in `text` the first section was; the end of the text when there was none.
  size_t first_section_at;
};
WithoutSections TakeOutBlockSections(std::string_view hosts);

}  // namespace tsl
