#include "playback/gui/CDispWndWidget.h"

#include "app/gui/GuiMessages.h"

namespace tq {

// Turns the engine's posts into queued events for the owner; called on any thread.
class CDispWndWidget::Sink final : public MessageSink {
 public:
  explicit Sink(QObject* owner) : owner_(owner) {}
  void post(uint32_t msg, int64_t wParam, int64_t lParam) override {
    if (owner_) PostMsg(owner_, int(msg), wParam, lParam);
  }

 private:
  QObject* owner_;  // outlives the session (it owns this widget)
};

CDispWndWidget::CDispWndWidget(const std::string& settingsFolder, QObject* owner, QWidget* parent)
    : QWidget(parent), sink_(std::make_unique<Sink>(owner)) {
  SessionOptions options;
  options.settingsFolder = settingsFolder;
  waveOut_ = std::make_unique<QtWaveOut>();
  options.waveOut = waveOut_.get();
  session_ = std::make_unique<CDispWnd>(sink_.get(), options);
}

// The session's threads post through sink_: stop them before the sink goes.
CDispWndWidget::~CDispWndWidget() { session_.reset(); }

}  // namespace tq
