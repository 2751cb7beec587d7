#include "pages/audio_config_page.h"

namespace veltra::pages {

CAudioCfgPage::CAudioCfgPage(const PageContext& context, QWidget* parent)
    : ConfigPage(QStringLiteral("Audio I/O Config"), parent), context_(context) {
  setObjectName(QStringLiteral("CAudioCfgPage"));
}

void CAudioCfgPage::CreateContents(QWidget& /*contents*/) {}

}  // namespace veltra::pages
