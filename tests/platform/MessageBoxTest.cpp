#include "platform/MessageBox.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/Files.h"
#include "support/QtApplication.h"
#include "support/TempConfigHome.h"

namespace {

using testing_support::ReadText;

// What the box looked like when it was up.
struct SeenBox {
  std::string title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  bool modal = false;
};

// Watches for the modal box and ends it the way a user would; gives up
// (closing whatever is open) after about five seconds.
std::optional<SeenBox> ShowAndAnswer(const std::string& text, const std::string& caption, unsigned flags,
                                     bool withEnter, int& result) {
  std::optional<SeenBox> seen;
  QTimer watch;
  int ticks = 0;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box && box->isVisible() && !seen) {
      seen = SeenBox{box->windowTitle().toStdString(), box->text().toStdString(), box->icon(),
                     box->standardButtons(), box->isModal()};
      if (withEnter) QTest::keyClick(box, Qt::Key_Return);
      else QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    } else if (++ticks > 500) {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* open = qobject_cast<QMessageBox*>(w)) open->done(0);
    }
  });
  watch.start(10);
  result = platform::ShowMessageBox(0, text, caption, flags);
  return seen;
}

TEST(MessageBox, QtBoxShowsCaptionAndTextAndEndsOnEnterOrOK) {
  testing_support::QtApplication();
  const struct {
    unsigned flags;
    QMessageBox::Icon icon;
    bool enter;
  } cases[] = {
      {platform::MB_OK, QMessageBox::NoIcon, true},
      {platform::MB_OK | platform::MB_ICONERROR, QMessageBox::Critical, false},
      {platform::MB_ICONWARNING, QMessageBox::Warning, true},
  };
  for (const auto& c : cases) {
    int result = 0;
    auto seen = ShowAndAnswer("MPR.DLL not found: cannot change password.", "Screen saver", c.flags, c.enter, result);
    ASSERT_TRUE(seen) << "no modal box appeared";
    EXPECT_EQ(seen->title, "Screen saver");
    EXPECT_EQ(seen->text, "MPR.DLL not found: cannot change password.");
    EXPECT_EQ(seen->icon, c.icon);
    EXPECT_EQ(seen->buttons, QMessageBox::Ok);
    EXPECT_TRUE(seen->modal);
    EXPECT_EQ(result, platform::IDOK);
  }
  // Text is shown as it is, never as markup.
  int result = 0;
  auto seen = ShowAndAnswer("<b>'' is not a valid integer value.</b>", "brisvane", platform::MB_OK, true, result);
  ASSERT_TRUE(seen);
  EXPECT_EQ(seen->text, "<b>'' is not a valid integer value.</b>");
}

// Each case runs in a process of its own (CTest), so changing the
// environment here touches no other test.
struct WithoutQtYet : ::testing::Test {
  TempConfigHome dir;
  std::string errFile = dir.Dir() + "/stderr";

  // Runs fn with stderr going to a file; returns what was written.
  std::string CaptureStderr(const std::function<void()>& fn) {
    std::fflush(stderr);
    const int saved = dup(2);
    FILE* f = std::fopen(errFile.c_str(), "w");
    dup2(fileno(f), 2);
    fn();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::fclose(f);
    return ReadText(errFile);
  }
};

TEST_F(WithoutQtYet, WithoutAnyDisplayTheMessageGoesToStderr) {
  unsetenv("QT_QPA_PLATFORM");
  unsetenv("WAYLAND_DISPLAY");
  for (const char* display : {"", ":97531", "unix:/nonexistent/socket"}) {
    if (*display) setenv("DISPLAY", display, 1);
    else unsetenv("DISPLAY");
    int result = 0;
    const std::string err = CaptureStderr(
        [&] { result = platform::ShowMessageBox(0, "MPR.DLL not found: cannot change password.", "Screen saver"); });
    EXPECT_EQ(err, "Screen saver: MPR.DLL not found: cannot change password.\n") << "DISPLAY=" << display;
    EXPECT_EQ(result, platform::IDOK);
    EXPECT_EQ(QCoreApplication::instance(), nullptr) << "no Qt application is left behind";
  }
}

// Presses Enter on the modal box once it is up; made to run in every Qt
// application the code under test creates.
std::vector<std::string> gAnswered;
void AnswerBoxWhenShown() {
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return AnswerBoxWhenShown();
        gAnswered.push_back(box->windowTitle().toStdString() + "|" + box->text().toStdString());
        QTest::keyClick(box, Qt::Key_Return);
      },
      Qt::QueuedConnection);
}

TEST_F(WithoutQtYet, AnApplicationIsMadeForEachBoxAndEndedWithIt) {
  ASSERT_EQ(QCoreApplication::instance(), nullptr);
  qAddPreRoutine(AnswerBoxWhenShown);
  EXPECT_EQ(platform::ShowMessageBox(0, "first", "Screen saver"), platform::IDOK);
  EXPECT_EQ(QCoreApplication::instance(), nullptr) << "the box's application ends with it";
  EXPECT_EQ(platform::ShowMessageBox(0, "second", "brisvane", platform::MB_ICONERROR), platform::IDOK);
  EXPECT_EQ(gAnswered, (std::vector<std::string>{"Screen saver|first", "brisvane|second"}));
}

TEST_F(WithoutQtYet, TheRecorderTakesEveryBoxInsteadOfAWindow) {
  const std::string log = dir.Dir() + "/boxes";
  setenv("BRISVANE_MESSAGEBOX_LOG", log.c_str(), 1);
  platform::ShowMessageBox(0, "first", "Screen saver");
  platform::ShowMessageBox(0, "'' is not a valid integer value.", "brisvane", platform::MB_ICONERROR);
  unsetenv("BRISVANE_MESSAGEBOX_LOG");
  EXPECT_EQ(ReadText(log), "Screen saver|first\nbrisvane|'' is not a valid integer value.\n");
  EXPECT_EQ(QCoreApplication::instance(), nullptr);
}

}  // namespace
