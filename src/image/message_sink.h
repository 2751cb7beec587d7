#pragma once

#include <string_view>

namespace veltra::image {

// Where the image model shows its texts; the GUI raises a message box with an OK button owned
// by the main window, the CLI prints a line. The model may call it from a background thread.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void ShowMessage(std::string_view text) = 0;
};

class NullMessageSink final : public MessageSink {
 public:
  void ShowMessage(std::string_view) override {}
};

}  // namespace veltra::image
