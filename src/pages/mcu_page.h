#pragma once

#include "pages/config_page.h"
#include "pages/page_context.h"

namespace veltra::pages {

// The "MCU Config" page: the MCU firmware block and its option bits.
class CMCUPage : public ConfigPage {
  Q_OBJECT

 public:
  explicit CMCUPage(const PageContext& context, QWidget* parent = nullptr);

 protected:
  void CreateContents(QWidget& contents) override;

 private:
  PageContext context_;
};

}  // namespace veltra::pages
