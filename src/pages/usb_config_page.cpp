#include "pages/usb_config_page.h"

namespace veltra::pages {

CUsbCfgPage::CUsbCfgPage(const PageContext& context, QWidget* parent)
    : ConfigPage(QStringLiteral("USB Config"), parent), context_(context) {
  setObjectName(QStringLiteral("CUsbCfgPage"));
}

void CUsbCfgPage::CreateContents(QWidget& /*contents*/) {}

}  // namespace veltra::pages
