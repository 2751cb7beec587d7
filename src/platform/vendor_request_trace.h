#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/control_device.h"
#include "platform/vendor_packet.h"

// A record of every vendor request, one line each, taken where requests leave the tool: on the
// driver's control device. So it reads the same for any back end, and a trace of real hardware
// can be set beside one of the simulator.
namespace veltra::platform {

// The first line of a trace: what the columns are and which version of the format this is.
inline constexpr char kTraceHeader[] =
    "# veltra vendor request trace 1: seconds code register "
    "length data result";

// One request as a line without its end:
// "<seconds> <code> 0x<register> <length> <data> <ok|fail>". seconds has six decimals; data are
// the bytes written (code 1) or received (code 2, when the request succeeded) as upper-case hex
// without blanks, "-" when there are none.
std::string FormatTraceLine(int64_t sinceStartNs, const VendorPacket& packet,
                            std::span<const uint8_t> data, bool result);

// Where the lines go, one call per line (without the line end), on the thread that sent the
// request.
class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void Line(std::string_view line) = 0;
};

// Opens the control device through another opener and hands out a device that traces every
// vendor request into the sink; other I/O control requests pass untraced. Times are counted
// from the opener's construction on the given clock. The header line goes out at construction.
class TracingControlDeviceOpener final : public ControlDeviceOpener {
 public:
  TracingControlDeviceOpener(ControlDeviceOpener& inner, Clock& clock, TraceSink& sink);

  std::unique_ptr<ControlDevice> Open(const std::u16string& path, bool shareReadWrite,
                                      uint32_t& error) override;

 private:
  ControlDeviceOpener& inner_;
  Clock& clock_;
  TraceSink& sink_;
  int64_t startNs_;
};

}  // namespace veltra::platform
