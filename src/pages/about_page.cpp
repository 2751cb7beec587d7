#include "pages/about_page.h"

#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace veltra::pages {

CAboutPage::CAboutPage(const PageContext& context, QString backendDescription, QWidget* parent)
    : ConfigPage(QStringLiteral("About"), parent),
      context_(context),
      backendDescription_(std::move(backendDescription)) {
  setObjectName(QStringLiteral("CAboutPage"));
}

QString CAboutPage::ProgramLine() {
  return QStringLiteral("veltra-config %1").arg(QStringLiteral(VELTRA_VERSION));
}

QString CAboutPage::BackendLine() const {
  return QStringLiteral("Device back end: %1").arg(backendDescription_);
}

void CAboutPage::CreateContents(QWidget& contents) {
  auto* layout = new QVBoxLayout(&contents);
  auto* title = new QLabel(QStringLiteral("Veltra Configuration"), &contents);
  title->setObjectName(QStringLiteral("aboutTitle"));
  QFont titleFont = title->font();
  titleFont.setBold(true);
  if (titleFont.pixelSize() > 0) {
    titleFont.setPixelSize(titleFont.pixelSize() * 7 / 5);
  } else {
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
  }
  title->setFont(titleFont);
  auto* program = new QLabel(ProgramLine(), &contents);
  program->setObjectName(QStringLiteral("aboutProgram"));
  auto* backend = new QLabel(BackendLine(), &contents);
  backend->setObjectName(QStringLiteral("aboutBackend"));
  backend->setWordWrap(true);
  backend->setAlignment(Qt::AlignHCenter);
  backend->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->setContentsMargins(24, 12, 24, 12);
  layout->addSpacing(24);
  layout->addWidget(title, 0, Qt::AlignHCenter);
  layout->addWidget(program, 0, Qt::AlignHCenter);
  layout->addSpacing(12);
  layout->addWidget(backend);
  layout->addStretch(1);
}

}  // namespace veltra::pages
