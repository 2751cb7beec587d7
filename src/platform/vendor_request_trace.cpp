#include "platform/vendor_request_trace.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/byte_text.h"

namespace veltra::platform {
namespace {

class TracingControlDevice final : public ControlDevice {
 public:
  TracingControlDevice(std::unique_ptr<ControlDevice> inner, Clock& clock, TraceSink& sink,
                       int64_t startNs)
      : inner_(std::move(inner)), clock_(clock), sink_(sink), startNs_(startNs) {}

  bool IoControl(uint32_t code, std::span<const uint8_t> input, std::span<uint8_t> output,
                 std::span<uint8_t> dataBuffer) override {
    if (code != kIoctlVendorRequest || input.size() != kVendorDataSize) {
      return inner_->IoControl(code, input, output, dataBuffer);
    }
    std::array<uint8_t, kVendorDataSize> bytes{};
    std::copy(input.begin(), input.end(), bytes.begin());
    const VendorPacket packet = DecodeVendorPacket(bytes);
    const size_t count = std::min<size_t>(packet.length, dataBuffer.size());
    // What is written has to be taken before the call: a back end may reuse the buffer.
    std::array<uint8_t, kVendorDataSize> sent{};
    const bool write = packet.requestCode == kRequestWrite;
    if (write) std::copy_n(dataBuffer.begin(), std::min(count, sent.size()), sent.begin());
    const bool result = inner_->IoControl(code, input, output, dataBuffer);
    std::span<const uint8_t> data;
    if (write) {
      data = std::span<const uint8_t>(sent).first(std::min(count, sent.size()));
    } else if (packet.requestCode == kRequestRead && result) {
      data = std::span<const uint8_t>(dataBuffer).first(count);
    }
    sink_.Line(FormatTraceLine(clock_.NowNs() - startNs_, packet, data, result));
    return result;
  }

 private:
  std::unique_ptr<ControlDevice> inner_;
  Clock& clock_;
  TraceSink& sink_;
  int64_t startNs_;
};

}  // namespace

std::string FormatTraceLine(int64_t sinceStartNs, const VendorPacket& packet,
                            std::span<const uint8_t> data, bool result) {
  const int64_t micros = sinceStartNs / 1000;
  char head[64];
  std::snprintf(
      head, sizeof head, "%lld.%06lld %u 0x%04X %u ", static_cast<long long>(micros / 1'000'000),
      static_cast<long long>(micros % 1'000'000), static_cast<unsigned>(packet.requestCode),
      static_cast<unsigned>(packet.index), static_cast<unsigned>(packet.length));
  std::string line = head;
  if (data.empty()) {
    line += '-';
  } else {
    line += ToHex(data);
  }
  line += result ? " ok" : " fail";
  return line;
}

TracingControlDeviceOpener::TracingControlDeviceOpener(ControlDeviceOpener& inner, Clock& clock,
                                                       TraceSink& sink)
    : inner_(inner), clock_(clock), sink_(sink), startNs_(clock.NowNs()) {
  sink_.Line(kTraceHeader);
}

std::unique_ptr<ControlDevice> TracingControlDeviceOpener::Open(const std::u16string& path,
                                                                bool shareReadWrite,
                                                                uint32_t& error) {
  std::unique_ptr<ControlDevice> device = inner_.Open(path, shareReadWrite, error);
  if (!device) return nullptr;
  return std::make_unique<TracingControlDevice>(std::move(device), clock_, sink_, startNs_);
}

}  // namespace veltra::platform
