#pragma once

#include "pages/config_page.h"
#include "pages/page_context.h"

namespace veltra::pages {

// The "USB Config" page: USB identity, string descriptors, power and HID options.
class CUsbCfgPage : public ConfigPage {
  Q_OBJECT

 public:
  explicit CUsbCfgPage(const PageContext& context, QWidget* parent = nullptr);

 protected:
  void CreateContents(QWidget& contents) override;

 private:
  PageContext context_;
};

}  // namespace veltra::pages
