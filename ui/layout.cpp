#include "ui/layout.h"

#include "ui/frm_main.h"

namespace pellvane {
namespace {

class Rows {
 public:
  // A frame or group named `name` in `container`.
  void Box(Kind kind, const std::string& name, const std::string& container, Twips at) {
    rows.push_back({name, kind, nullptr, container, at, -1, false, "", false});
  }
  void Add(Control& c, Kind kind, const std::string& container, Twips at, int tab, std::string text,
           bool hidden = false, bool masked = false) {
    std::string name = c.name();
    if (kind == Kind::kOption) name += std::to_string(static_cast<OptionButton&>(c).index());
    rows.push_back({name, kind, &c, container, at, tab, masked, std::move(text), hidden});
  }
  // One control per slot, its tab index and text from the slot; slots but the first hidden.
  template <typename T, typename Tab, typename Text>
  void Slots(const pellvane::Slots<T>& slots, Kind kind, const std::string& container, Twips at,
             Tab tab, Text text, bool masked = false) {
    for (int i = 0; i < kSlots; ++i)
      Add(*slots[i], kind, container, at, tab(i), text(i), i > 0, masked);
  }

  std::vector<Placement> rows;
};

std::string Numbered(const char* name, int i) { return name + std::to_string(i); }

}  // namespace

std::vector<Placement> Layout(frmMain& w) {
  Rows r;
  const auto named = [](const char* name) { return [name](int i) { return Numbered(name, i); }; };
  const auto marker = [](int) { return std::string("Option1"); };  // clipped by its size

  // The web server pager.
  r.Box(Kind::kFrame, "fraWserver", "", {0, 0, 4935, 975});
  r.Add(w.lblCurWebsrv, Kind::kLabel, "fraWserver", {120, 240, 1935, 255}, -1, "Webserver x");
  r.Add(w.lblDefWSrv, Kind::kLabel, "fraWserver", {3600, 240, 1215, 255}, -1, "Standart Server");
  r.Slots(
      w.txtWserver, Kind::kText, "fraWserver", {120, 480, 3495, 375},
      [](int i) { return i == 0 ? 7 : 8 + i; },
      [](int i) { return i == 0 ? kEchoUrl : Numbered("txtWserver", i); });
  r.Add(w.vscrWserver, Kind::kScroll, "fraWserver", {3600, 480, 255, 375}, 8, "");
  r.Box(Kind::kGroup, "Frame1", "fraWserver", {4200, 480, 255, 255});
  r.Slots(
      w.optDefWserver, Kind::kOption, "Frame1", {0, 0, 255, 255}, [](int i) { return 6 - i; },
      marker);

  // The FTP part; its check box stands on the frame's top edge in place of a caption.
  r.Box(Kind::kFrame, "Frame2", "", {0, 1080, 4935, 2535});
  r.Add(w.chkUseFTP, Kind::kCheck, "Frame2", {120, 0, 1455, 255}, 37, "FTP Verwenden");
  r.Add(w.lblCurFTPSrv, Kind::kLabel, "Frame2", {120, 240, 1935, 255}, -1, "FTPserver x");
  r.Add(w.Label1, Kind::kLabel, "Frame2", {3600, 240, 1215, 255}, -1, "Standart Server");
  // Beneath the server boxes, whose right edge lies on it.
  r.Add(w.vscrFtpserver, Kind::kScroll, "Frame2", {3600, 480, 255, 375}, 16, "");
  r.Box(Kind::kGroup, "Frame3", "Frame2", {4200, 480, 255, 255});
  r.Slots(
      w.optDefFTPserver, Kind::kOption, "Frame3", {0, 0, 255, 255}, [](int i) { return 25 + i; },
      marker);
  r.Slots(
      w.txtFTPserver, Kind::kText, "Frame2", {120, 480, 3495, 375}, [](int i) { return 20 + i; },
      named("txtFTPserver"));
  r.Add(w.Label2, Kind::kLabel, "Frame2", {120, 1080, 855, 255}, -1, "Remotefile:");
  r.Add(*w.txtRemoteFile[0], Kind::kText, "Frame2", {960, 960, 3615, 375}, 39, "txtRemoteFile0");
  for (int i = 1; i < kSlots; ++i) {  // narrower than the first
    r.Add(*w.txtRemoteFile[i], Kind::kText, "Frame2", {960, 960, 2655, 375}, 39 + i,
          Numbered("txtRemoteFile", i), true);
  }
  r.Add(w.Label3, Kind::kLabel, "Frame2", {120, 1320, 735, 255}, -1, "Userame:");
  r.Add(w.Label4, Kind::kLabel, "Frame2", {2400, 1320, 735, 255}, -1, "Password:");
  r.Slots(
      w.txtFTPUser, Kind::kText, "Frame2", {120, 1560, 2175, 375}, [](int i) { return 44 + i; },
      named("txtFTPUser"));
  r.Slots(
      w.txtFTPPass, Kind::kText, "Frame2", {2400, 1560, 2175, 375}, [](int i) { return 49 + i; },
      named("txtFTPPass"), true);
  r.Add(w.Label5, Kind::kLabel, "Frame2", {120, 2160, 1455, 255}, -1, "HTML-Templatefile:");
  // All five hidden until the first pager refresh.
  for (int i = 0; i < kSlots; ++i) {
    r.Add(*w.txtHTMLTemplate[i], Kind::kText, "Frame2", {1680, 2040, 2535, 375},
          i == 0 ? 65 : 67 + i, Numbered("txtTemplate", i), true);
  }
  r.Add(w.cmdSelectFile, Kind::kButton, "Frame2", {4200, 2040, 375, 375}, 67, "...");

  // The proxy part; from top to bottom the modes 1, 0, 2.
  r.Box(Kind::kFrame, "fraProxy", "", {0, 3720, 4935, 2175});
  r.Add(*w.optUseDefProxy[1], Kind::kOption, "fraProxy", {240, 240, 2295, 255}, 38,
        "Keinen Proxy verwenden");
  r.Add(*w.optUseDefProxy[0], Kind::kOption, "fraProxy", {240, 480, 2295, 255}, 35,
        "Standart Proxy verwenden");
  r.Add(*w.optUseDefProxy[2], Kind::kOption, "fraProxy", {240, 720, 1455, 255}, 36,
        "Proxy angeben");
  r.Box(Kind::kFrame, "fraDefProxy", "fraProxy", {360, 960, 3855, 975});
  r.Add(w.lblProxy, Kind::kLabel, "fraDefProxy", {120, 240, 1575, 255}, -1, "Proxy Server:");
  r.Add(w.txtProxySrv, Kind::kText, "fraDefProxy", {120, 480, 3015, 375}, 32, "txtProxySrv");
  r.Add(w.lblProxyPort, Kind::kLabel, "fraDefProxy", {3240, 240, 495, 255}, -1, "Port:");
  r.Add(w.txtProxyPort, Kind::kText, "fraDefProxy", {3240, 480, 495, 375}, 56, "txtProxyPort");
  // Below the frame's visible height and never shown: they only carry the values.
  r.Add(w.txtProxyUser, Kind::kText, "fraDefProxy", {120, 960, 3615, 375}, 33, "txtProxyUser",
        true);
  r.Add(w.txtProxyPass, Kind::kText, "fraDefProxy", {120, 1440, 3615, 375}, 34, "txtProxyPass",
        true, true);

  // The command part.
  r.Box(Kind::kFrame, "fraCMD", "", {0, 6000, 4935, 855});
  r.Add(w.cmdNow, Kind::kButton, "fraCMD", {120, 240, 1095, 375}, 58, "Jetzt Prüfen!");
  r.Add(w.chkLOG, Kind::kCheck, "fraCMD", {1320, 240, 1095, 375}, 63, "LOG-File benutzen");
  r.Add(w.cmdLOG, Kind::kButton, "fraCMD", {2520, 240, 1095, 375}, 64, "Log ansehen");
  r.Add(w.cmdEnd, Kind::kButton, "fraCMD", {3720, 240, 1095, 375}, 59, "Beenden");
  r.Add(w.lblHREF, Kind::kLink, "fraCMD", {3360, 600, 1455, 255}, -1, PELLVANE_ECHO_HOST);
  return std::move(r.rows);
}

}  // namespace pellvane
