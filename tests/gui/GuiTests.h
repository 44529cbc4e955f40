#pragma once

#include <QObject>
#include <vector>

namespace tq::test {
QObject* NewControlsTest();
QObject* NewLayoutTest();
QObject* NewCardEventsTest();
QObject* NewViewerProcessTest();
inline std::vector<QObject*> AllGuiTests() {
  return {NewControlsTest(), NewLayoutTest(), NewCardEventsTest(), NewViewerProcessTest()};
}
}  // namespace tq::test
