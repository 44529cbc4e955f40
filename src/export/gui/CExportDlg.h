// The export dialog: one recording, whole or a range of whole seconds, saved to a file the
// user names. MP4 clips start on their From second exactly; AVI recordings of the second
// family are cut per camera. The export runs on a worker thread behind a progress dialog
// that can cancel; a cancelled or failed export leaves no file and the dialog stays open.
// GUI thread, except the worker (see Export).
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "library/CatalogEntry.h"

class QCheckBox;
class QLabel;
class QProgressDialog;
class QTimeEdit;

namespace tq {

struct AppState;
class CVelTextBut;

class CExportDlg : public QDialog {
  Q_OBJECT
 public:
  // Control ids.
  enum Id : int {
    kIdFrom = 1106, kIdTo = 1107, kIdSegment = 1229, kIdSoundOff = 1230, kIdFront = 1231,
    kIdRear = 1232, kIdStartText = 1240, kIdLengthText = 1241,
  };

  // The modal parts, replaceable so that tests drive the dialog without blocking.
  struct Dialogs {
    // The save dialog: the chosen path ("" on cancel) for a proposed path.
    std::function<QString(QWidget* parent, const QString& proposed, bool avi)> savePath;
    // The program's message box.
    std::function<void(QWidget* parent, const QString& text, unsigned type)> message;
  };
  static Dialogs DefaultDialogs();

  // `state` outlives the dialog; `folder` holds the recording `entry`.
  CExportDlg(AppState* state, const std::string& folder, const CatalogEntry& entry,
             QWidget* parent = nullptr);
  ~CExportDlg() override;

  void SetDialogs(Dialogs dialogs) { dialogs_ = std::move(dialogs); }
  // Checks "Save segment" and sets From and To (seconds), as the player proposes them.
  void SetRange(int fromSec, int toSec);

  // OK: checks the range, asks for the file (files, for AVI front and rear) and exports.
  // True when everything asked for was written (the dialog is then accepted).
  bool Export();

  int LengthSec() const { return lengthSec_; }
  QString SourcePath() const;
  // The proposed path (folder and name) for the front or only file.
  QString ProposedPath(int fromSec) const;
  QTimeEdit* FromPicker() const { return from_; }
  QTimeEdit* ToPicker() const { return to_; }
  QCheckBox* SegmentBox() const { return segment_; }
  QCheckBox* SoundOffBox() const { return soundOff_; }
  QCheckBox* FrontBox() const { return front_; }
  QCheckBox* RearBox() const { return rear_; }
  CVelTextBut* OkButton() const { return ok_; }
  QLabel* StartLabel() const { return startText_; }
  QLabel* LengthLabel() const { return lengthText_; }

 signals:
  // The progress dialog of an export is shown (tests cancel through it).
  void progressShown(QProgressDialog* progress);

 protected:
  void accept() override;

 private:
  void BuildControls();
  void ReadRecording();
  void KeepOneCamera(QCheckBox* changed);
  // Runs one export on the worker behind the progress dialog; false with *error on
  // failure, false with an empty *error when cancelled.
  bool RunExport(const std::string& outPath, int fromSec, int toSec, bool rear,
                 std::string* error);
  void RememberFolder(const QString& path);
  static int Seconds(const QTimeEdit* picker);

  AppState* state_;
  std::string folder_;
  CatalogEntry entry_;
  int64_t startSeconds_ = 0;  // recording start, camera clock
  int lengthSec_ = 0;
  int aviVideoStreams_ = 0;
  Dialogs dialogs_;
  bool exporting_ = false;

  QLabel* startText_;
  QLabel* lengthText_;
  QCheckBox* segment_;
  QTimeEdit* from_;
  QTimeEdit* to_;
  QCheckBox* soundOff_;
  QCheckBox* front_;
  QCheckBox* rear_;
  CVelTextBut* ok_;
  CVelTextBut* cancel_;
};

}  // namespace tq
