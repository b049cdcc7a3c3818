// The window as the user sees and uses it: layout, captions, mirroring, save on edit.
#include <QFrame>
#include <QTest>

#include "window_fixture.h"

namespace pellvane::testing {
namespace {

TEST_F(WindowTest, FixedSizeTitleFramesAndPlaces) {
  Open();
  EXPECT_EQ(view_->size(), QSize(330, 461));
  EXPECT_EQ(view_->minimumSize(), view_->maximumSize());
  EXPECT_EQ(view_->windowTitle(), "Pellvane");
  EXPECT_FALSE(view_->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(view_->windowFlags() & Qt::WindowMaximizeButtonHint);

  struct Place {
    const char* name;
    QRect pixels;  // twips / 15, relative to the containing frame
  };
  for (const Place& p : std::initializer_list<Place>{
           {"fraWserver", {0, 0, 329, 65}},
           {"Frame2", {0, 72, 329, 169}},
           {"fraProxy", {0, 248, 329, 145}},
           {"fraCMD", {0, 400, 329, 57}},
           {"fraDefProxy", {24, 64, 257, 65}},
           {"txtWserver0", {8, 32, 233, 25}},
           {"vscrWserver", {240, 32, 17, 25}},
           {"chkUseFTP", {8, 0, 97, 17}},
           {"txtRemoteFile0", {64, 64, 241, 25}},
           {"txtRemoteFile1", {64, 64, 177, 25}},
           {"txtFTPPass4", {160, 104, 145, 25}},
           {"txtTemplate2", {112, 136, 169, 25}},
           {"cmdSelectFile", {280, 136, 25, 25}},
           {"optUseDefProxy2", {16, 48, 97, 17}},
           {"txtProxyPort", {216, 32, 33, 25}},
           {"cmdNow", {8, 16, 73, 25}},
           {"cmdEnd", {248, 16, 73, 25}},
       }) {
    auto* w = view_->findChild<QWidget*>(p.name);
    ASSERT_NE(w, nullptr) << p.name;
    EXPECT_EQ(w->geometry(), p.pixels) << p.name;
  }
  for (const char* frame : {"fraWserver", "Frame2", "fraProxy", "fraCMD", "fraDefProxy"}) {
    EXPECT_NE(view_->findChild<QFrame*>(frame)->frameShape(), QFrame::NoFrame) << frame;
  }
}

TEST_F(WindowTest, CaptionsLetterForLetter) {
  Open();
  frmMain& w = *window_;
  struct Caption {
    const Control& control;
    const char* text;
  };
  for (const Caption& c : std::initializer_list<Caption>{
           {w.lblCurWebsrv, "Webserver 1"},
           {w.lblDefWSrv, "Standart Server"},
           {w.chkUseFTP, "FTP Verwenden"},
           {w.lblCurFTPSrv, "FTPServer 1"},
           {w.Label1, "Standart Server"},
           {w.Label2, "Remotefile:"},
           {w.Label3, "Userame:"},
           {w.Label4, "Password:"},
           {w.Label5, "HTML-Templatefile:"},
           {w.cmdSelectFile, "..."},
           {*w.optUseDefProxy[1], "Keinen Proxy verwenden"},
           {*w.optUseDefProxy[0], "Standart Proxy verwenden"},
           {*w.optUseDefProxy[2], "Proxy angeben"},
           {w.lblProxy, "Proxy Server:"},
           {w.lblProxyPort, "Port:"},
           {w.cmdNow, "Jetzt Prüfen!"},
           {w.chkLOG, "LOG-File benutzen"},
           {w.cmdLOG, "Log ansehen"},
           {w.cmdEnd, "Beenden"},
           {w.lblHREF, "www.brackfell.example"},
       }) {
    QWidget* widget = Widget(c.control);
    const QVariant text = widget->property("text");
    // A check box too narrow for its caption breaks it into lines at the blanks.
    EXPECT_EQ(text.toString().replace(u'\n', u' '), QString::fromUtf8(c.text)) << c.control.name();
  }
  EXPECT_EQ(Widget<QLineEdit>(*w.txtWserver[0])->text().toStdString(), kEchoUrl);
}

TEST_F(WindowTest, MakerLinkIsBlueUnderlinedWithAHandAndOpensNothingElse) {
  Open();
  auto* link = Widget<QLabel>(window_->lblHREF);
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  EXPECT_TRUE(link->font().underline());
  EXPECT_EQ(link->cursor().shape(), Qt::BitmapCursor) << "the hand of FocusTest";
  EXPECT_EQ(view_->cursor().shape(), Qt::ArrowCursor);
  EXPECT_TRUE(link->geometry().contains(QPoint(318, 48)));
}

TEST_F(WindowTest, PasswordsMaskedProxyUserAndPasswordNeverShown) {
  Store([](SettingsRecord& r) {
    r.useftp = true;
    r.ftppass[0] = "geheim";
    r.puser = "pu";
    r.ppass = "pp";
    r.proxycon = 2;
  });
  Open();
  auto* pass = Widget<QLineEdit>(*window_->txtFTPPass[0]);
  EXPECT_EQ(pass->displayText(), "******");
  QTest::keyClicks(pass, "x");
  EXPECT_EQ(pass->displayText(), "*******");
  EXPECT_EQ(Stored().ftppass[0], "geheimx");
  EXPECT_EQ(Widget<QLineEdit>(window_->txtProxyPass)->echoMode(), QLineEdit::Password);
  for (const Control* c : {&window_->txtProxyUser, &window_->txtProxyPass}) {
    EXPECT_FALSE(Widget(*c)->isVisible()) << c->name();
  }
  EXPECT_EQ(Widget<QLineEdit>(window_->txtProxyUser)->text(), "pu");
}

TEST_F(WindowTest, TypingIntoABoxSavesAtOnce) {
  Store([](SettingsRecord& r) {
    r.useftp = true;
    r.proxycon = 2;
  });
  Open();
  frmMain& w = *window_;
  Widget<QScrollBar>(w.vscrWserver)->setValue(2);
  Widget<QScrollBar>(w.vscrFtpserver)->setValue(1);
  struct Edit {
    const Control& box;
    std::string SettingsRecord::*field;
    int slot;  // -1 for a box of its own
    SlotTexts SettingsRecord::*list;
  };
  for (const Edit& e : std::initializer_list<Edit>{
           {*w.txtWserver[2], nullptr, 2, &SettingsRecord::wserver},
           {*w.txtFTPserver[1], nullptr, 1, &SettingsRecord::ftpserver},
           {*w.txtRemoteFile[1], nullptr, 1, &SettingsRecord::ftpremotefile},
           {*w.txtFTPUser[1], nullptr, 1, &SettingsRecord::ftpuser},
           {*w.txtFTPPass[1], nullptr, 1, &SettingsRecord::ftppass},
           {*w.txtHTMLTemplate[1], nullptr, 1, &SettingsRecord::htmltemplatefile},
           {w.txtProxySrv, &SettingsRecord::proxysrv, -1, nullptr},
           {w.txtProxyPort, &SettingsRecord::proxyport, -1, nullptr},
       }) {
    auto* box = Widget<QLineEdit>(e.box);
    ASSERT_TRUE(box->isVisible() && box->isEnabled()) << e.box.name();
    QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString::fromUtf8("ä"), {});
    QTest::keyClicks(box, "1");
    const SettingsRecord stored = Stored();
    const std::string& value = e.slot < 0 ? stored.*e.field : (stored.*e.list)[e.slot];
    EXPECT_EQ(value, "ä1") << e.box.name();
    EXPECT_EQ(box->text(), "ä1") << e.box.name();
  }
}

TEST_F(WindowTest, ScrollBarsPageBothLists) {
  Store([](SettingsRecord& r) { r.useftp = true; });
  Open();
  frmMain& w = *window_;
  struct Pager {
    const ScrollBar& bar;
    const Label& caption;
    const char* prefix;
    const Slots<TextBox>& boxes;
  };
  for (const Pager& p : std::initializer_list<Pager>{
           {w.vscrWserver, w.lblCurWebsrv, "Webserver ", w.txtWserver},
           {w.vscrFtpserver, w.lblCurFTPSrv, "FTPServer ", w.txtFTPserver},
       }) {
    auto* bar = Widget<QScrollBar>(p.bar);
    for (int v = 0; v < 6; ++v) {
      const int shown = std::min(v, 4);
      EXPECT_EQ(bar->value(), shown);
      EXPECT_EQ(Widget<QLabel>(p.caption)->text(), p.prefix + QString::number(shown + 1));
      for (int i = 0; i < kSlots; ++i) {
        EXPECT_EQ(Widget(*p.boxes[i])->isVisible(), i == shown) << p.prefix << v << " " << i;
      }
      bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(p.bar.value(), 3);
    EXPECT_EQ(Widget<QLabel>(p.caption)->text(), p.prefix + QString("4"));
  }
  EXPECT_EQ(Stored().wdefserver, 0);
}

TEST_F(WindowTest, DefaultMarkerShowsOnlyOnTheDefaultSlot) {
  Store([](SettingsRecord& r) { r.wdefserver = 3; });
  Open();
  frmMain& w = *window_;
  auto* bar = Widget<QScrollBar>(w.vscrWserver);
  EXPECT_EQ(bar->value(), 3);
  EXPECT_TRUE(Widget<QRadioButton>(*w.optDefWserver[3])->isChecked());
  bar->setValue(1);
  auto* marker = Widget<QRadioButton>(*w.optDefWserver[1]);
  EXPECT_FALSE(marker->isChecked());
  QTest::mouseClick(marker, Qt::LeftButton);
  EXPECT_EQ(Stored().wdefserver, 1);
  QTest::mouseClick(marker, Qt::LeftButton);  // a second click cannot clear it
  EXPECT_TRUE(marker->isChecked());
  EXPECT_FALSE(Widget<QRadioButton>(*w.optDefWserver[3])->isChecked());
}

TEST_F(WindowTest, UncheckingFtpDisablesTheFtpSlotAndItsScrollBar) {
  Store([](SettingsRecord& r) { r.useftp = true; });
  Open();
  frmMain& w = *window_;
  auto ftp_widgets = [&] {
    std::vector<QWidget*> all{Widget(w.vscrFtpserver)};
    for (int i = 0; i < kSlots; ++i) {
      for (const Control* c : {static_cast<const Control*>(w.txtFTPserver[i].get()),
                               static_cast<const Control*>(w.txtRemoteFile[i].get()),
                               static_cast<const Control*>(w.txtFTPUser[i].get()),
                               static_cast<const Control*>(w.txtFTPPass[i].get()),
                               static_cast<const Control*>(w.optDefFTPserver[i].get()),
                               static_cast<const Control*>(w.txtHTMLTemplate[i].get())}) {
        all.push_back(Widget(*c));
      }
    }
    return all;
  };
  auto* check = Widget<QCheckBox>(w.chkUseFTP);
  for (QWidget* f : ftp_widgets()) EXPECT_TRUE(f->isEnabled()) << f->objectName().toStdString();
  QTest::mouseClick(check, Qt::LeftButton);
  EXPECT_FALSE(check->isChecked());
  EXPECT_FALSE(Stored().useftp);
  for (QWidget* f : ftp_widgets()) EXPECT_FALSE(f->isEnabled()) << f->objectName().toStdString();
  EXPECT_TRUE(Widget(w.cmdSelectFile)->isEnabled());
  EXPECT_TRUE(check->isEnabled());
  QTest::mouseClick(check, Qt::LeftButton);
  EXPECT_TRUE(Stored().useftp);
  EXPECT_TRUE(Widget(w.vscrFtpserver)->isEnabled());
}

TEST_F(WindowTest, ProxyAngebenEnablesTheProxyFields) {
  Open();
  frmMain& w = *window_;
  const std::vector<QWidget*> fields{Widget(w.txtProxySrv), Widget(w.txtProxyPort),
                                     Widget(w.lblProxy), Widget(w.lblProxyPort)};
  EXPECT_TRUE(Widget<QRadioButton>(*w.optUseDefProxy[0])->isChecked());
  for (QWidget* f : fields) EXPECT_FALSE(f->isEnabled());
  auto* given = Widget<QRadioButton>(*w.optUseDefProxy[2]);
  QTest::mouseClick(given, Qt::LeftButton);
  EXPECT_EQ(Stored().proxycon, 2);
  for (QWidget* f : fields) EXPECT_TRUE(f->isEnabled());
  EXPECT_FALSE(Widget<QRadioButton>(*w.optUseDefProxy[0])->isChecked());
  QTest::mouseClick(Widget(*w.optUseDefProxy[1]), Qt::LeftButton);
  EXPECT_EQ(Stored().proxycon, 1);
  EXPECT_FALSE(given->isChecked());
  for (QWidget* f : fields) EXPECT_FALSE(f->isEnabled());
}

TEST_F(WindowTest, LogSwitchGreysOutLogAnsehen) {
  Open();
  auto* view_log = Widget(window_->cmdLOG);
  EXPECT_FALSE(view_log->isEnabled());
  QTest::mouseClick(Widget(window_->chkLOG), Qt::LeftButton);
  EXPECT_TRUE(Stored().writelog);
  EXPECT_TRUE(view_log->isEnabled());
}

TEST_F(WindowTest, TabOrderFollowsTheTabIndices) {
  Store([](SettingsRecord& r) { r.useftp = true; });
  Open();
  const std::vector<const char*> order{
      "optDefWserver4",   "optDefWserver3",   "optDefWserver2",   "optDefWserver1",
      "optDefWserver0",   "txtWserver0",      "vscrWserver",      "txtWserver1",
      "txtWserver2",      "txtWserver3",      "txtWserver4",      "vscrFtpserver",
      "txtFTPserver0",    "txtFTPserver1",    "txtFTPserver2",    "txtFTPserver3",
      "txtFTPserver4",    "optDefFTPserver0", "optDefFTPserver1", "optDefFTPserver2",
      "optDefFTPserver3", "optDefFTPserver4", "txtProxySrv",      "txtProxyUser",
      "txtProxyPass",     "optUseDefProxy0",  "optUseDefProxy2",  "chkUseFTP",
      "optUseDefProxy1",  "txtRemoteFile0",   "txtRemoteFile1",   "txtRemoteFile2",
      "txtRemoteFile3",   "txtRemoteFile4",   "txtFTPUser0",      "txtFTPUser1",
      "txtFTPUser2",      "txtFTPUser3",      "txtFTPUser4",      "txtFTPPass0",
      "txtFTPPass1",      "txtFTPPass2",      "txtFTPPass3",      "txtFTPPass4",
      "txtProxyPort",     "cmdNow",           "cmdEnd",           "chkLOG",
      "cmdLOG",           "txtTemplate0",     "cmdSelectFile",    "txtTemplate1",
      "txtTemplate2",     "txtTemplate3",     "txtTemplate4"};
  // The chain as Tab walks it, over the widgets that take the focus by Tab, hidden or not.
  std::vector<std::string> chain;
  QWidget* w = view_->findChild<QWidget*>(order.front());
  ASSERT_NE(w, nullptr);
  while (chain.size() < order.size()) {
    if (w->focusPolicy() & Qt::TabFocus) chain.push_back(w->objectName().toStdString());
    w = w->nextInFocusChain();
  }
  EXPECT_EQ(chain, std::vector<std::string>(order.begin(), order.end()));

  QApplication::setActiveWindow(view_.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
  Widget(window_->cmdNow)->setFocus(Qt::TabFocusReason);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), Widget(window_->cmdEnd));
  // Tabbing onto a scroll bar lands in the visible slot's server box.
  Widget<QScrollBar>(window_->vscrFtpserver)->setValue(2);
  Widget(window_->vscrFtpserver)->setFocus(Qt::TabFocusReason);
  QCoreApplication::processEvents();
  EXPECT_EQ(QApplication::focusWidget(), Widget(*window_->txtFTPserver[2]));
}

TEST_F(WindowTest, EndButtonAndCloseBoxUnloadOnce) {
  Open();
  QTest::mouseClick(Widget(window_->cmdEnd), Qt::LeftButton);
  EXPECT_TRUE(window_->unloaded());
  EXPECT_FALSE(view_->isVisible());
}

}  // namespace
}  // namespace pellvane::testing
