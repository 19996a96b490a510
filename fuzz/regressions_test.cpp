// Replays the committed fuzz corpus, which keeps every input a fuzzer failed on.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/properties.h"
#include "testsupport/test_support.h"

namespace tsl {
namespace {

namespace fs = std::filesystem;

template <typename Property>
void ReplayCorpus(const std::string& name, Property property) {
  const fs::path corpus = fs::path(TSL_FUZZ_CORPUS) / name;
  int inputs = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(corpus)) {
    EXPECT_TRUE(property(testing::ReadBytes(entry.path().string()))) << entry.path();
    ++inputs;
  }
  EXPECT_GT(inputs, 0) << corpus;
}

TEST(FuzzRegressionsTest, BlockSectionCorpus) {
  ReplayCorpus("block_section", BlockSectionFollowsTheLineRule);
  ReplayCorpus("block_section", BlockSectionsComeOutWhole);
}

TEST(FuzzRegressionsTest, OperationsCorpus) {
  ReplayCorpus("operations", OperationsKeepTheHostsFileTrue);
}

TEST(FuzzRegressionsTest, RegeditCorpus) {
  ReplayCorpus("regedit", RegeditWriteKeepsEveryOtherValue);
}

}  // namespace
}  // namespace tsl
