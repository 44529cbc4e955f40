#pragma once

#include <QObject>
#include <vector>

namespace tq::test {
QObject* NewControlsTest();
QObject* NewLayoutTest();
QObject* NewCardEventsTest();
QObject* NewViewerProcessTest();
QObject* NewFrameCommandsTest();
QObject* NewTimeBarTest();
QObject* NewPlayerPanelTest();
inline std::vector<QObject*> AllGuiTests() {
  return {NewControlsTest(), NewLayoutTest(), NewCardEventsTest(), NewFrameCommandsTest(), NewTimeBarTest(), NewPlayerPanelTest(),
          NewViewerProcessTest()};
}
}  // namespace tq::test
