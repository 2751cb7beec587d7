#pragma once

#include "pages/config_page.h"
#include "pages/page_context.h"

namespace veltra::pages {

// The "Record EQ Config" page: the five-band record equaliser.
class CRecordEQPage : public ConfigPage {
  Q_OBJECT

 public:
  explicit CRecordEQPage(const PageContext& context, QWidget* parent = nullptr);

 protected:
  void CreateContents(QWidget& contents) override;

 private:
  PageContext context_;
};

}  // namespace veltra::pages
