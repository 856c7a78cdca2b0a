// The "Configuration" page: brightness and volume faders and the gadget switches.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>

#include "components/QtBitmap.h"
#include "components/Whfader.h"
#include "config/Configuration.h"
#include "config/DialogControls.h"
#include "config/TTabSheet.h"

namespace config {

namespace {

// The three runs of blanks push each key onto a wrapped line of its own.
const char* const kNotes =
    "NOTES:  While screensaver is running, you can press:"
    "                                 "
    "- F2 - for obtaining the detailed information of news"
    "                        "
    "- F3 - for obtaining the detailed information of weather";

components::TWHFADER* NewFader(QWidget* parent, int left, int top, const QImage& track, const QImage& knob) {
  auto* fader = new components::TWHFADER(parent);
  fader->SetGround(track);
  fader->SetKnob(knob);
  fader->move(left, top);
  return fader;
}

}  // namespace

void TForm2::CreateTabSheet1Controls() {
  QWidget* page = TabSheet1;
  const QImage track = components::ResourceImage("FADER_TRACK");
  const QImage knob = components::ResourceImage("FADER_KNOB");

  Label1 = NewLabel(page, 82, 16, "Video Brightness:", VerdanaFont(13), kFormTextColor);
  FD_BRIGHT = NewFader(page, 200, 13, track, knob);
  Label4 = NewLabel(page, 377, 36, "Max", VerdanaFont(11), kBlack);
  Label2 = NewLabel(page, 98, 66, "Sound Volume:", VerdanaFont(13), kFormTextColor);
  FD_SOUND = NewFader(page, 201, 61, track, knob);
  Label3 = NewLabel(page, 377, 84, "Max", VerdanaFont(11), kBlack);

  GroupBox1 = new QGroupBox(" Gadgets ", page);
  GroupBox1->setFont(VerdanaFont(13));
  SetTextColor(GroupBox1, kBlack);
  GroupBox1->setGeometry(87, 103, 323, 223);
  // The caption sits on the frame's top line, as the classic group box draws it.
  GroupBox1->setStyleSheet(
      "QGroupBox { border: 1px solid #a0a0a0; border-radius: 2px; margin-top: 7px; }"
      "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 8px; padding: 0; }");
  CheckBox1transp = NewCheckBox(GroupBox1, 15, 18, 297, 17, "Transparency of background");
  CheckBox2time = NewCheckBox(GroupBox1, 86, 49, 97, 17, "Show Time");
  CheckBox2weather = NewCheckBox(GroupBox1, 86, 76, 226, 17, "Show Weather Information");
  CheckBox2news = NewCheckBox(GroupBox1, 86, 103, 168, 17, "Show News Channel");
  CheckBox1Proxy = NewCheckBox(GroupBox1, 86, 129, 179, 17, "Use HTTP Proxy");

  StaticText2 = NewStaticText(GroupBox1, 7, 169, 306, 44, QString::fromLatin1(kNotes), SansSerifFont(11), kBlack);
}

}  // namespace config
