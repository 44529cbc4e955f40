#include "player/gui/CDispCtrlDlg.h"

#include "app/AppSettings.h"
#include "controls/GuiSkin.h"
#include "playback/gui/CDispWndWidget.h"

namespace tq {

CDispCtrlDlg::CDispCtrlDlg(AppState* state, QObject* mainView, QWidget* parent)
    : QWidget(parent), state_(state), mainView_(mainView),
      view_(new CDispWndWidget(state->settingsFolder, this, this)) {
  view_->hide();
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, kPlayerBack);
  setPalette(pal);
}

CDispCtrlDlg::~CDispCtrlDlg() = default;

bool CDispCtrlDlg::OpenRecording(const std::string&, CatalogEntry*, uint32_t) { return false; }
void CDispCtrlDlg::CloseRecording(int) {}
void CDispCtrlDlg::Restart() {}
void CDispCtrlDlg::Pause() {}
bool CDispCtrlDlg::IsOpen() const { return false; }
bool CDispCtrlDlg::IsPlaying() const { return false; }
bool CDispCtrlDlg::Key(int) { return false; }

}  // namespace tq
