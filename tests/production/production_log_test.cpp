#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "production/production_log.h"
#include "test_files.h"

namespace veltra::production {
namespace {

using test_files::TempDir;
using test_files::Text;

TEST(ProductionLog, RowsAreQuotedAndTheHeaderComesOnce) {
  UnitRecord record{.time = 0,
                    .serial = "VT-1",
                    .devicePath = "p",
                    .result = "write-failed",
                    .detail = "chunk 0x0040: \"x\", y",
                    .seconds = 0.414,
                    .imageHash = Fnv1a64(std::vector<uint8_t>{'a'})};
  const std::string row = CsvRow(record);
  EXPECT_EQ(row.substr(row.find(',')),
            ",VT-1,p,write-failed,\"chunk 0x0040: \"\"x\"\", y\",0.41,af63dc4c8601ec8c\n");
  EXPECT_EQ(Fnv1a64({}), "cbf29ce484222325");
  EXPECT_TRUE(std::regex_match(IsoLocalTime(86400 * 365),
                               std::regex(R"((1970-12-31|1971-01-01)T\d\d:\d\d:00[+-]\d\d:\d\d)")));
  TempDir dir;
  const std::string log = dir.File("log.csv");
  ASSERT_EQ(AppendUnitRecord(log, record), "");
  ASSERT_EQ(AppendUnitRecord(log, record), "");
  EXPECT_EQ(Text(log), std::string(kLogHeader) + row + row);
}

}  // namespace
}  // namespace veltra::production
