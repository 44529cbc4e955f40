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
inline std::vector<QObject*> AllGuiTests() {
  return {NewControlsTest(), NewLayoutTest(), NewCardEventsTest(), NewFrameCommandsTest(), NewFileListTest(),
          NewViewerProcessTest(), NewOpenFileProcessTest()};
}
}  // namespace tq::test
