#include "pages/config_page.h"

#include <utility>

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
  QWidget* contents = std::exchange(contents_, nullptr);
  if (openDialogs_ == 0) {
    delete contents;
    return;
  }
  contents->hide();
  released_.emplace_back(contents);
}

ConfigPage::DialogScope::~DialogScope() {
  if (--page_.openDialogs_ > 0) return;
  // Posted from the handler that opened the dialog, the deletion waits until the event being
  // handled has returned to the event loop, not only the dialog's own loop.
  for (const QPointer<QWidget>& contents : std::exchange(page_.released_, {}))
    if (contents != nullptr) contents->deleteLater();
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
