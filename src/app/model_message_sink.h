#pragma once

#include "image/message_sink.h"
#include "ui/worker_bridge.h"

class QWidget;

namespace veltra::ui {
class UserDialogs;
}

namespace veltra::app {

// The image model's messages as message boxes owned by the main window. The model shows them
// from the worker thread too: the box is raised on the GUI thread and the model waits for it.
class ModelMessageSink final : public image::MessageSink {
 public:
  ModelMessageSink(QWidget& owner, ui::UserDialogs& dialogs);
  void ShowMessage(std::string_view text) override;

 private:
  QWidget& owner_;
  ui::UserDialogs& dialogs_;
  ui::WorkerBridge bridge_;
};

}  // namespace veltra::app
