#pragma once

#include <QObject>
#include <vector>

namespace tq::test {
QObject* NewControlsTest();
QObject* NewLayoutTest();
QObject* NewCardEventsTest();
QObject* NewViewerProcessTest();
QObject* NewFrameCommandsTest();
QObject* NewFileListTest();
QObject* NewOpenFileProcessTest();
QObject* NewTimeBarTest();
QObject* NewPlayerPanelTest();
inline std::vector<QObject*> AllGuiTests() {
  return {NewControlsTest(), NewLayoutTest(), NewCardEventsTest(), NewFrameCommandsTest(), NewFileListTest(),
          NewTimeBarTest(), NewPlayerPanelTest(), NewViewerProcessTest(), NewOpenFileProcessTest()};
}
}  // namespace tq::test
