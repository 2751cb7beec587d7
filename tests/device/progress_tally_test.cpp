#include "device/progress_tally.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace veltra::device {
namespace {

TEST(ProgressTally, AddsTransfersUpIntoOneOperation) {
  std::vector<std::pair<uint64_t, uint64_t>> reports;
  ProgressTally tally([&](uint64_t done, uint64_t toDo) { reports.emplace_back(done, toDo); });
  tally.Expect(300);  // a write of 200 and its read-back of 100, announced up front
  const TransferProgress report = tally.Callback();
  report(100, 200);
  report(200, 200);
  report(50, 100);
  report(100, 100);
  const std::vector<std::pair<uint64_t, uint64_t>> expected{
      {100, 300}, {200, 300}, {250, 300}, {300, 300}};
  EXPECT_EQ(reports, expected);

  // Unannounced transfers count from their first report; one that failed half way keeps what
  // it had done when the next begins.
  ProgressTally unknown([](uint64_t, uint64_t) {});
  const TransferProgress next = unknown.Callback();
  next(16, 60);
  EXPECT_EQ(unknown.ToDo(), 60u);
  next(32, 100);  // another length: the first ended at 16
  EXPECT_EQ(unknown.Done(), 48u);
  EXPECT_EQ(unknown.ToDo(), 116u);
}

}  // namespace
}  // namespace veltra::device
