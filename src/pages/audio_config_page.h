#pragma once

#include "pages/config_page.h"
#include "pages/page_context.h"

namespace veltra::pages {

// The "Audio I/O Config" page: audio routing, interface and volume options.
class CAudioCfgPage : public ConfigPage {
  Q_OBJECT

 public:
  explicit CAudioCfgPage(const PageContext& context, QWidget* parent = nullptr);

 protected:
  void CreateContents(QWidget& contents) override;

 private:
  PageContext context_;
};

}  // namespace veltra::pages
