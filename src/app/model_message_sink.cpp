#include "app/model_message_sink.h"

#include <QString>
#include <QWidget>

#include "ui/user_dialogs.h"

namespace veltra::app {

ModelMessageSink::ModelMessageSink(QWidget& owner, ui::UserDialogs& dialogs)
    : owner_(owner), dialogs_(dialogs), bridge_(&owner) {}

void ModelMessageSink::ShowMessage(std::string_view text) {
  const QString message = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  bridge_.Call([this, &message] { dialogs_.ShowMessage(&owner_, message); });
}

}  // namespace veltra::app
