// Finding the lines that activation wrote in a hosts file that others edit too.
//
// A hosts file is read as lines that end at CR LF, LF or CR. A block section starts at its
// header line: "#email snoop protection " give or take blanks and tabs (an editor trims the
// trailing one, a hosts manager rewrites them); a header changed in its words is someone
// else's, and so are the lines below it.
//
// Below a header, up to the next header or the end of the file, a line is Tessaline's when
// it is an entry for a name of the block list the section was made from: a loopback address
// ("127.0.0.1", or "0.0.0.0", "::1", "::" as another tool may rewrite it), blanks or tabs,
// and the name, commented out with "#" or not. Each name of the list accounts for one such
// line, the first one met; a line for a name the list does not hold, an empty line, a
// comment or any other line stays where it is, and so does a second line for the same name.
// Where the list is only a guess (a section written before Tessaline kept its record of
// it), the unbroken run of entries right after the header is Tessaline's too, whatever the
// names. The names of the block list beside the program count too when it is another list
// than the section's, each once more.
//
// With its lines go the header, the empty line that follows the last of them, and the line
// break that opened the section: an empty line of its own where the hosts file ended in a
// line break; else the break that ended the file's last line, which goes only when nothing
// of anyone else's follows it, so that taking the section out of "hosts file + section"
// gives the hosts file back byte for byte and never joins two lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tsl {

// What is known of the block list a section was made from.
struct SectionSource {
  // NOLINTNEXTLINE(google-explicit-constructor): a list alone is the usual source
  SectionSource(std::string_view list, bool list_is_exact = true, bool opening_ends_a_line = true,
                bool list_is_known = true, std::string_view other_list = {})
      : block_list(list),
        exact(list_is_exact),
        opening_ended_a_line(opening_ends_a_line),
        list_known(list_is_known),
        other_block_list(other_list) {}

  std::string_view block_list;
  // The list is the one the section was made from, not a guess.
  bool exact;
  // The section's opening line break ended the last line of the hosts file (it had no final
  // line break), rather than being an empty line of its own.
  bool opening_ended_a_line;
  // Whether there is a list at all; a section made from an empty one blocks nothing but is
  // in force all the same.
  bool list_known;
  // Another list whose names are Tessaline's too: the block list beside the program, when
  // it is not the one the section was made from (a newer one that has not been activated
  // yet, or the one another install wrote its section from).
  std::string_view other_block_list;
};

// A hosts file's bytes with Tessaline's lines taken out and every other byte kept.
struct WithoutSections {
  std::string text;
  // Where in `text` the first section was; the end of the text when there was none.
  size_t first_section_at = 0;
  // A section put back at first_section_at needs no line break of its own before its
  // header: the one before it stayed (it ends someone else's line), or it is the file's start.
  bool opening_stayed = false;
  // The first section's opening line break ended a line of the file's own (for the record
  // of a section put back in its place).
  bool opening_ended_a_line = false;
  bool held_a_section = false;
  // A section blocks: an entry of ours is there and not commented out, or the list it was
  // made from is empty.
  bool in_force = false;
};

WithoutSections TakeOutOurLines(std::string_view hosts, const SectionSource& source);

// Whether the text's last line has no line break (an empty text has no last line).
bool EndsWithoutLineBreak(std::string_view text);

// Whether the line is the block section's header, give or take blanks and tabs.
bool IsSectionHeader(std::string_view line);

}  // namespace tsl
