#pragma once

#include <QString>

#include "pages/config_page.h"
#include "pages/page_context.h"

class QLabel;

namespace veltra::pages {

// The "About" page: the program's name and version and the device back end in use.
class CAboutPage : public ConfigPage {
  Q_OBJECT

 public:
  CAboutPage(const PageContext& context, QString backendDescription, QWidget* parent = nullptr);

  // "veltra-config 0.1.0" and the back end line, as the page shows them.
  static QString ProgramLine();
  QString BackendLine() const;

 protected:
  void CreateContents(QWidget& contents) override;

 private:
  PageContext context_;
  QString backendDescription_;
};

}  // namespace veltra::pages
