// The "Proxy" page: host and port of the HTTP proxy, free text.
#include <QLabel>
#include <QLineEdit>

#include "config/Configuration.h"
#include "config/DialogControls.h"
#include "config/TTabSheet.h"

namespace config {

void TForm2::CreateTabSheet4Controls() {
  QWidget* page = TabSheet4;
  Label22 = NewLabel(page, 183, 107, "Setup HTTP Proxy:", VerdanaFont(13, true), kBlack);
  Label23 = NewLabel(page, 81, 156, "Proxy Server:", VerdanaFont(13), kBlack);
  Edit1ProxyServer = NewEdit(page, 176, 153, 239, 21);
  Label24 = NewLabel(page, 138, 197, "Port:", VerdanaFont(13), kBlack);
  Edit2Port = NewEdit(page, 176, 195, 46, 21);
}

}  // namespace config
