// brisvane-dialogshot OUTDIR
// Opens the configuration dialog on the X display in DISPLAY, with the
// settings found there, and writes a screenshot of each finished page, taken
// from the X server: OUTDIR/dialog-configuration.png, dialog-weather.png,
// dialog-news.png (with the directory's first category chosen, when it
// listed one) and dialog-proxy.png. scripts/dialog-screenshots.sh runs it
// under a private Xvfb, with a local feed server as the proxy.
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QTabWidget>
#include <QWidget>
#include <QWindow>
#include <iostream>
#include <memory>
#include <string>

#include "config/Configuration.h"
#include "config/TTabSheet.h"
#include "framework/TApplication.h"
#include "platform/DisplayProbe.h"
#include "platform/QtGui.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: brisvane-dialogshot OUTDIR\n";
    return 2;
  }
  const std::string outDir = argv[1];
  auto probe = platform::DisplayProbe::Connect();
  if (!probe) {
    std::cerr << "brisvane-dialogshot: no display\n";
    return 1;
  }
  auto gui = std::make_shared<platform::QtGui>(argc, argv);
  probe.reset();
  platform::SetGui(gui);
  int status = 0;
  {
    framework::TApplication app;
    app.Initialize();
    app.Title = "Screensaver Configuration";
    app.CreateForm(&config::Form2);
    config::Form2->Show();
    QWidget* window = config::Form2->Window();
    QElapsedTimer waited;
    waited.start();
    while (window && !(window->windowHandle() && window->windowHandle()->isExposed()) && waited.elapsed() < 10000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!window || !window->windowHandle()->isExposed()) {
      std::cerr << "brisvane-dialogshot: the dialog did not appear\n";
      status = 1;
    }
    struct Shot {
      QWidget* page;
      const char* file;
    };
    config::TForm2* form = config::Form2;
    for (const Shot& shot :
         {Shot{form->TabSheet1, "dialog-configuration.png"}, Shot{form->TabSheet2, "dialog-weather.png"},
          Shot{form->TabSheet3, "dialog-news.png"}, Shot{form->TabSheet4, "dialog-proxy.png"}}) {
      if (status) break;
      form->PageControl1->setCurrentWidget(shot.page);
      QCoreApplication::processEvents();  // the news page loads its directory here
      if (shot.page == form->TabSheet3 && form->ComboBox1Category->count() > 1) {
        form->ComboBox1Category->setCurrentIndex(1);
        form->ComboBox1CategoryChange(form);
      }
      QCoreApplication::processEvents();
      window->repaint();  // painted and sent before the server is asked for the pixels
      const std::string path = outDir + "/" + shot.file;
      if (!window->screen()->grabWindow(window->winId()).save(QString::fromStdString(path))) {
        std::cerr << "brisvane-dialogshot: cannot write " << path << "\n";
        status = 1;
      } else {
        std::cout << path << "\n";
      }
    }
    config::Form2->Close();
  }
  platform::SetGui(nullptr);
  return status;
}
