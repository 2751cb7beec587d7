#include "pages/config_page.h"

#include <QVBoxLayout>

namespace veltra::pages {

ConfigPage::ConfigPage(const QString& title, QWidget* parent) : QWidget(parent) {
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
}

void ConfigPage::Load() {
  if (contents_ == nullptr) return;
  LoadContents();
  emit Loaded();
}

bool ConfigPage::Store() {
  if (contents_ == nullptr) return true;
  storeFailed_ = false;
  StoreContents();
  if (storeFailed_) return false;
  emit Stored();
  return true;
}

void ConfigPage::DestroyContents() {
  if (contents_ == nullptr) return;
  ReleaseContents();
  delete contents_;
  contents_ = nullptr;
}

void ConfigPage::SetPageArea(QSize area) {
  pageArea_ = area;
  updateGeometry();
}

QSize ConfigPage::minimumSizeHint() const {
  return QWidget::minimumSizeHint().expandedTo(pageArea_);
}

void ConfigPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  EnsureContents();
}

void ConfigPage::EnsureContents() {
  if (contents_ != nullptr) return;
  contents_ = new QWidget(this);
  CreateContents(*contents_);
  layout()->addWidget(contents_);
  contents_->show();
  emit ContentsCreated();
  Load();
}

}  // namespace veltra::pages
