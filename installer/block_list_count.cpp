// Prints the number of entries a block list makes, as an installer define, so that the
// installer records the count by the same line rule the program applies.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "protection/block_section.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: block_list_count data.dat\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "block_list_count: cannot read %s\n", argv[1]);
    return 1;
  }
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::printf("!define SERVERS \"%zu\"\n", tsl::CountBlockListLines(text));
  return 0;
}
