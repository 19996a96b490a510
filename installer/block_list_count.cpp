// Prints the number of entries a block list makes, as an installer define (NSIS, or with
// --wix a WiX include), so that both installers record the count by the same line rule the
// program applies.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "text/block_section.h"

int main(int argc, char** argv) {
  const bool wix = argc == 3 && std::string_view(argv[1]) == "--wix";
  if (argc != 2 && !wix) {
    std::fprintf(stderr, "usage: block_list_count [--wix] data.dat\n");
    return 2;
  }
  const char* list = argv[argc - 1];
  std::ifstream in(list, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "block_list_count: cannot read %s\n", list);
    return 1;
  }
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::size_t count = tsl::CountBlockListLines(text);
  if (wix) {
    std::printf(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Include>\n"
        "  <?define Servers = \"%zu\"?>\n</Include>\n",
        count);
  } else {
    std::printf("!define SERVERS \"%zu\"\n", count);
  }
  return 0;
}
