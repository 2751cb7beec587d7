#include <numeric>

#include <QtTest>

#include "fault_matrix.h"

using namespace veltra::app::testing;
using veltra::sim::EepromPart;

namespace {

// The requests a CI run of the matrix tries: the first and last ones of the operation (the
// opening, the first chunk, the last chunk, the closing) and a stride through the middle. The
// stride shares no factor with the few requests a chunk takes, so its runs meet every request of
// a chunk's cycle in turn.
std::vector<uint64_t> Sample(uint64_t requests) {
#ifdef VELTRA_SANITIZED
  // Sanitized code runs several times slower: a sample of a third of the size.
  constexpr uint64_t kEnds = 6;
  constexpr uint64_t kMiddle = 14;
#else
  constexpr uint64_t kEnds = 16;
  constexpr uint64_t kMiddle = 40;
#endif
  std::vector<uint64_t> sample;
  for (uint64_t n = 1; n <= requests; ++n) {
    if (n <= kEnds || n + kEnds > requests) sample.push_back(n);
  }
  if (requests > 2 * kEnds) {
    uint64_t stride = std::max<uint64_t>(1, (requests - 2 * kEnds) / kMiddle);
    while (std::gcd(stride, uint64_t{30}) != 1)
      ++stride;
    for (uint64_t n = kEnds + stride; n + kEnds <= requests; n += stride)
      sample.push_back(n);
  }
  std::sort(sample.begin(), sample.end());
  return sample;
}

void RunSample(MatrixOperation operation, EepromPart part) {
  FaultMatrix matrix(operation, part);
  QVERIFY2(matrix.Ready(), matrix.Problem().c_str());
  const std::vector<uint64_t> sample = Sample(matrix.Requests());
  for (FaultKind fault :
       {FaultKind::kFailOnce, FaultKind::kNack, FaultKind::kBusy, FaultKind::kUnplug}) {
    int reported = 0;
    for (uint64_t n : sample) {
      const RunResult result = matrix.Run(fault, n);
      const std::string where = std::string(Name(fault)) + " at request " + std::to_string(n) +
                                " of " + std::to_string(matrix.Requests()) + ": " +
                                Name(result.outcome) + ", " + result.detail;
      QVERIFY2(result.outcome == RunOutcome::kCompleted || result.outcome == RunOutcome::kReported,
               where.c_str());
      if (result.outcome == RunOutcome::kReported) ++reported;
    }
    // Most requests of an operation are needed: a fault there must fail it.
    QVERIFY2(reported * 2 > static_cast<int>(sample.size()), Name(fault));
  }
}

}  // namespace

// A deterministic sample of the fault matrix through the real main window; the whole matrix runs
// from fault_matrix_runner (docs/reliability.md).
class FaultMatrixTest : public QObject {
  Q_OBJECT

 private slots:
  void SampleIsDeterministicAndCoversTheEnds() {
    const std::vector<uint64_t> sample = Sample(2564);
    QCOMPARE(sample, Sample(2564));
    QCOMPARE(sample.front(), uint64_t{1});
    QCOMPARE(sample.back(), uint64_t{2564});
    QVERIFY(sample.size() < 100);
    QCOMPARE(Sample(20).size(), size_t{20});
  }

  void Save24C02() { RunSample(MatrixOperation::kSave, EepromPart::k24C02); }
  void Save24C64() { RunSample(MatrixOperation::kSave, EepromPart::k24C64); }
  void Save24C512() { RunSample(MatrixOperation::kSave, EepromPart::k24C512); }
  void Connect24C02() { RunSample(MatrixOperation::kConnect, EepromPart::k24C02); }
  void Connect24C64() { RunSample(MatrixOperation::kConnect, EepromPart::k24C64); }
  void Dump24C02() { RunSample(MatrixOperation::kDump, EepromPart::k24C02); }
  void Dump24C64() { RunSample(MatrixOperation::kDump, EepromPart::k24C64); }
};

QTEST_MAIN(FaultMatrixTest)
#include "fault_matrix_test.moc"
