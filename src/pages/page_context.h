#pragma once

namespace veltra::image {
class EepromConfig;
}
namespace veltra::device {
class VendorTransport;
}
namespace veltra::log {
class DiagnosticLog;
}
namespace veltra::ui {
class UserDialogs;
}

namespace veltra::pages {

// What a configuration page may use, handed to every page's constructor: the one image model,
// the dialogs, the transport for the equaliser Test buttons and the diagnostic log. All outlive
// the pages.
struct PageContext {
  image::EepromConfig& model;
  ui::UserDialogs& dialogs;
  device::VendorTransport& transport;
  log::DiagnosticLog& log;
};

}  // namespace veltra::pages
