// Runs the window tests inside a QApplication; listing the tests needs none.
#include <gtest/gtest.h>

#include <QApplication>

#include "views/qt/qt_dialogs.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  QApplication app(argc, argv);
  pellvane::UseGermanQtTexts(app);
  return RUN_ALL_TESTS();
}
