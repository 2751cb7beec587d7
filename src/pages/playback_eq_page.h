#pragma once

#include "pages/config_page.h"
#include "pages/page_context.h"

namespace veltra::pages {

// The "PlayBack EQ Config" page: the five-band playback equaliser, its presets and tone mode.
class CEQPage : public ConfigPage {
  Q_OBJECT

 public:
  explicit CEQPage(const PageContext& context, QWidget* parent = nullptr);

 protected:
  void CreateContents(QWidget& contents) override;

 private:
  PageContext context_;
};

}  // namespace veltra::pages
