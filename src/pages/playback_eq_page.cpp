#include "pages/playback_eq_page.h"

namespace veltra::pages {

CEQPage::CEQPage(const PageContext& context, QWidget* parent)
    : ConfigPage(QStringLiteral("PlayBack EQ Config"), parent), context_(context) {
  setObjectName(QStringLiteral("CEQPage"));
}

void CEQPage::CreateContents(QWidget& /*contents*/) {}

}  // namespace veltra::pages
