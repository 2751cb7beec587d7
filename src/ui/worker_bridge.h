#pragma once

#include <optional>
#include <type_traits>
#include <utility>

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThread>

namespace veltra::ui {

// Hands work from any thread to the thread of a context object (the GUI thread for widgets).
// Call() blocks until the work has run there, so a worker thread can raise a message box on the
// GUI thread and wait for its answer; on the GUI thread itself it runs the work at once.
// Post() queues the work and returns immediately.
class WorkerBridge {
 public:
  explicit WorkerBridge(QObject* context) : context_(context) {}

  // Work whose context has gone away does not run; Call() then answers a value-initialised
  // result.
  template <typename Work>
  auto Call(Work&& work) const -> std::invoke_result_t<Work> {
    using Result = std::invoke_result_t<Work>;
    QObject* context = context_.data();
    if (context == nullptr) return Result();
    if (QThread::currentThread() == context->thread()) return std::forward<Work>(work)();
    if constexpr (std::is_void_v<Result>) {
      QMetaObject::invokeMethod(
          context, [&work] { work(); }, Qt::BlockingQueuedConnection);
    } else {
      std::optional<Result> result;
      QMetaObject::invokeMethod(
          context, [&work, &result] { result.emplace(work()); }, Qt::BlockingQueuedConnection);
      return result ? std::move(*result) : Result();
    }
  }

  template <typename Work>
  void Post(Work&& work) const {
    if (QObject* context = context_.data())
      QMetaObject::invokeMethod(context, std::forward<Work>(work), Qt::QueuedConnection);
  }

  QObject* Context() const { return context_.data(); }

 private:
  QPointer<QObject> context_;
};

// Convenience for one-off calls.
template <typename Work>
auto RunOnGuiThread(QObject* context, Work&& work) {
  return WorkerBridge(context).Call(std::forward<Work>(work));
}

}  // namespace veltra::ui
