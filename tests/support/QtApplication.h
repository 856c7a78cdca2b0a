// The test process's one Qt application (offscreen, as CTest sets it), made
// on first use and kept until exit: Qt widgets need it, and Qt wants a single
// one per process.
#pragma once

#include <QApplication>

namespace testing_support {

inline QApplication& QtApplication() {
  static int argc = 1;
  static char name[] = "brisvane-tests";
  static char* argv[] = {name, nullptr};
  static auto* app = new QApplication(argc, argv);
  return *app;
}

// A first base of a fixture whose members are widgets: makes the application
// before they are constructed.
struct WithQtApplication {
  WithQtApplication() { QtApplication(); }
};

}  // namespace testing_support
