#pragma once

#include <vector>

#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

namespace veltra::pages {

// A tabbed configuration page. Its contents (the controls) are created the first time the page
// is shown, and the page loads itself then; until that moment Load() and Store() do nothing, so
// a page never displayed leaves its sections exactly as they were read. Removing the page from
// the page set destroys the contents; showing it again creates them anew.
class ConfigPage : public QWidget {
  Q_OBJECT

 public:
  explicit ConfigPage(const QString& title, QWidget* parent = nullptr);

  QString Title() const { return windowTitle(); }
  bool HasContents() const { return contents_ != nullptr; }

  // Controls from the image model; nothing while the contents do not exist.
  void Load();
  // Controls into the image model; nothing while the contents do not exist. False when the
  // page refused to store (it has told the user why): the Save must then write nothing.
  bool Store();
  // Called by the page set when the page is removed from it. While a dialog of the page is open
  // (RunDialog) the contents are only released and hidden: they are deleted once the event that
  // opened it has been handled, as a control of theirs may still be handling it.
  void DestroyContents();

  // The least room the page set gives the page; its contents may ask for more through their
  // minimum size, which the page set then makes room for while the page is selected.
  void SetPageArea(QSize area);
  QSize minimumSizeHint() const override;

  // The page set calls these when the page becomes, or stops being, the selected page.
  virtual void OnSetActive() {}
  virtual void OnKillActive() {}

 signals:
  void ContentsCreated();
  void Loaded();
  void Stored();

 protected:
  // Builds the controls into contents (which has no layout yet).
  virtual void CreateContents(QWidget& contents) = 0;
  virtual void LoadContents() {}
  virtual void StoreContents() {}
  // The contents are about to be deleted: drop every pointer into them.
  virtual void ReleaseContents() {}
  // From StoreContents: this Save cannot go on. Store() then answers false.
  void StoreFailed() { storeFailed_ = true; }

  // Runs the page's message box, question or file dialog and returns its answer. The page set
  // may remove the page while it is open (the device unplugged): Contents() is then null when
  // it returns, and the handler must touch no control.
  template <typename Dialog>
  auto RunDialog(Dialog&& dialog) {
    const DialogScope scope(*this);
    return dialog();
  }

  QWidget* Contents() const { return contents_; }
  void showEvent(QShowEvent* event) override;

 private:
  void EnsureContents();

  class DialogScope {
   public:
    explicit DialogScope(ConfigPage& page) : page_(page) { ++page_.openDialogs_; }
    ~DialogScope();
    DialogScope(const DialogScope&) = delete;
    DialogScope& operator=(const DialogScope&) = delete;

   private:
    ConfigPage& page_;
  };

  QWidget* contents_ = nullptr;
  int openDialogs_ = 0;
  // Contents the page set removed while a dialog was open, waiting to be deleted.
  std::vector<QPointer<QWidget>> released_;
  bool storeFailed_ = false;
  QSize pageArea_;
};

}  // namespace veltra::pages
