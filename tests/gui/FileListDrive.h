// Driving the file list's rows as a person does, shared by the window tests.
#pragma once

#include <QTest>

#include "controls/CVelListCtrl.h"
#include "library/gui/CFileListDlg.h"

namespace tq::test {

inline QPoint RowCentre(CFileListDlg& list, int row) {
  return list.List()->visualItemRect(list.List()->item(row, 0)).center();
}

// As a person double-clicks a row: press and release, then the double click and its release.
inline void DoubleClick(CFileListDlg& list, int row) {
  QWidget* viewport = list.List()->viewport();
  const QPoint at = RowCentre(list, row);
  QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
  QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
  QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
}

inline void ClickCheck(CFileListDlg& list, int row) {
  const QRect cell = list.List()->visualItemRect(list.List()->item(row, 0));
  QTest::mouseClick(list.List()->viewport(), Qt::LeftButton, {}, CVelListCtrl::CheckRect(cell).center());
}

}  // namespace tq::test
