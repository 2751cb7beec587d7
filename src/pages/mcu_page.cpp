#include "pages/mcu_page.h"

namespace veltra::pages {

CMCUPage::CMCUPage(const PageContext& context, QWidget* parent)
    : ConfigPage(QStringLiteral("MCU Config"), parent), context_(context) {
  setObjectName(QStringLiteral("CMCUPage"));
}

void CMCUPage::CreateContents(QWidget& /*contents*/) {}

}  // namespace veltra::pages
