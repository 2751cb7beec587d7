#include "pages/record_eq_page.h"

namespace veltra::pages {

CRecordEQPage::CRecordEQPage(const PageContext& context, QWidget* parent)
    : ConfigPage(QStringLiteral("Record EQ Config"), parent), context_(context) {
  setObjectName(QStringLiteral("CRecordEQPage"));
}

void CRecordEQPage::CreateContents(QWidget& /*contents*/) {}

}  // namespace veltra::pages
