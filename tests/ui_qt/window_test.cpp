// The window on Qt's offscreen platform over the real store, as the user sees and uses it:
// captions, masking, saving on every key, paging, switches, Tab, the file chooser, the check's
// message boxes; and pellvane-window as a process.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "support/harness.h"
#include "support/servers.h"
#include "ui/qt/main_view.h"
#include "ui/qt/qt_dialogs.h"

namespace pellvane::testing {
namespace {

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() {
    QObject::connect(&modal_poll_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal != nullptr && modal->isVisible()) answer_(modal);
    });
  }
  ~WindowTest() override { view_.reset(); }

  // Starts the window on the store as it is now, as pellvane-window does.
  void Open(const std::function<void(SettingsRecord&)>& edit = [](SettingsRecord&) {}) {
    box_.Seed(edit);
    view_.reset();
    model_ = std::make_unique<WindowModel>(dialogs_, box_);
    view_ = std::make_unique<MainView>(model_->window, dialogs_, model_->log);
    view_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view_.get()));
  }
  template <typename W = QWidget>
  W* Widget(const Control& control) const {
    auto* widget = qobject_cast<W*>(view_->WidgetOf(control));
    EXPECT_NE(widget, nullptr) << control.name();
    return widget;
  }
  // Calls `answer` with every modal dialog that opens from now on, again while it stays open.
  void AnswerModals(std::function<void(QWidget*)> answer) {
    answer_ = std::move(answer);
    modal_poll_.start(10);
  }

  Sandbox box_;
  QtDialogs dialogs_;
  std::unique_ptr<WindowModel> model_;
  std::unique_ptr<MainView> view_;
  QTimer modal_poll_;
  std::function<void(QWidget*)> answer_;
};

TEST_F(WindowTest, FixedSizeTitleAndCaptionsLetterForLetter) {
  Open();
  EXPECT_EQ(view_->minimumSize(), view_->maximumSize());
  EXPECT_EQ(view_->windowTitle(), "Pellvane");
  EXPECT_FALSE(view_->windowFlags() &
               (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  frmMain& w = model_->window;
  for (const auto& [control, text] : std::initializer_list<std::pair<const Control*, const char*>>{
           {&w.lblCurWebsrv, "Webserver 1"},
           {&w.lblDefWSrv, "Standart Server"},
           {&w.chkUseFTP, "FTP Verwenden"},
           {&w.lblCurFTPSrv, "FTPServer 1"},
           {&w.Label1, "Standart Server"},
           {&w.Label2, "Remotefile:"},
           {&w.Label3, "Userame:"},
           {&w.Label4, "Password:"},
           {&w.Label5, "HTML-Templatefile:"},
           {&w.cmdSelectFile, "..."},
           {w.optUseDefProxy[1].get(), "Keinen Proxy verwenden"},
           {w.optUseDefProxy[0].get(), "Standart Proxy verwenden"},
           {w.optUseDefProxy[2].get(), "Proxy angeben"},
           {&w.lblProxy, "Proxy Server:"},
           {&w.lblProxyPort, "Port:"},
           {&w.cmdNow, "Jetzt Prüfen!"},
           {&w.chkLOG, "LOG-File benutzen"},
           {&w.cmdLOG, "Log ansehen"},
           {&w.cmdEnd, "Beenden"},
           {&w.lblHREF, "www.brackfell.example"}}) {
    // A check box too narrow for its caption breaks it into lines at the blanks.
    EXPECT_EQ(Widget(*control)->property("text").toString().replace(u'\n', u' '),
              QString::fromUtf8(text))
        << control->name();
  }
  auto* link = Widget<QLabel>(w.lblHREF);
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  EXPECT_TRUE(link->font().underline());
  EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
  QTest::mouseClick(Widget(w.cmdEnd), Qt::LeftButton);
  EXPECT_TRUE(w.unloaded());
  EXPECT_FALSE(view_->isVisible());
}

TEST_F(WindowTest, TypingSavesAtOnceAndPasswordsAreMasked) {
  Open([](SettingsRecord& r) {
    r.useftp = true;
    r.proxycon = 2;
    r.ftppass[1] = "geheim";
    r.puser = "pu";
  });
  frmMain& w = model_->window;
  Widget<QScrollBar>(w.vscrWserver)->setValue(2);
  Widget<QScrollBar>(w.vscrFtpserver)->setValue(1);
  EXPECT_EQ(Widget<QLineEdit>(*w.txtFTPPass[1])->displayText(), "******");
  for (const auto& [box, field] : std::initializer_list<
           std::pair<const Control*, std::function<std::string(const SettingsRecord&)>>>{
           {w.txtWserver[2].get(), [](auto& r) { return r.wserver[2]; }},
           {w.txtFTPserver[1].get(), [](auto& r) { return r.ftpserver[1]; }},
           {w.txtRemoteFile[1].get(), [](auto& r) { return r.ftpremotefile[1]; }},
           {w.txtFTPUser[1].get(), [](auto& r) { return r.ftpuser[1]; }},
           {w.txtFTPPass[1].get(), [](auto& r) { return r.ftppass[1]; }},
           {w.txtHTMLTemplate[1].get(), [](auto& r) { return r.htmltemplatefile[1]; }},
           {&w.txtProxySrv, [](auto& r) { return r.proxysrv; }},
           {&w.txtProxyPort, [](auto& r) { return r.proxyport; }}}) {
    auto* edit = Widget<QLineEdit>(*box);
    ASSERT_TRUE(edit->isVisible() && edit->isEnabled()) << box->name();
    const std::string before = edit->text().toStdString();
    QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString::fromUtf8("ä"), {});
    QTest::keyClicks(edit, "1");
    EXPECT_EQ(field(box_.Stored()), before + "ä1") << box->name();
  }
  EXPECT_EQ(Widget<QLineEdit>(*w.txtFTPPass[1])->displayText(), "********");
  EXPECT_EQ(Widget<QLineEdit>(w.txtProxyPass)->echoMode(), QLineEdit::Password);
  for (const Control* c : {&w.txtProxyUser, &w.txtProxyPass}) EXPECT_FALSE(Widget(*c)->isVisible());
  EXPECT_EQ(Widget<QLineEdit>(w.txtProxyUser)->text(), "pu");
}

TEST_F(WindowTest, ScrollBarsPageBothListsAndTheDefaultMarkerFollows) {
  Open([](SettingsRecord& r) {
    r.useftp = true;
    r.wdefserver = 3;
  });
  frmMain& w = model_->window;
  EXPECT_TRUE(Widget<QRadioButton>(*w.optDefWserver[3])->isChecked());
  for (const auto& [bar, caption, boxes, prefix] :
       {std::tuple{&w.vscrWserver, &w.lblCurWebsrv, &w.txtWserver, "Webserver "},
        std::tuple{&w.vscrFtpserver, &w.lblCurFTPSrv, &w.txtFTPserver, "FTPServer "}}) {
    auto* scroll = Widget<QScrollBar>(*bar);
    scroll->setValue(0);
    for (int v = 0; v < 6; ++v) {
      const int shown = std::min(v, 4);
      EXPECT_EQ(Widget<QLabel>(*caption)->text(), prefix + QString::number(shown + 1));
      for (int i = 0; i < kSlots; ++i) EXPECT_EQ(Widget(*(*boxes)[i])->isVisible(), i == shown);
      scroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    scroll->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(bar->value(), 3);
  }
  Widget<QScrollBar>(w.vscrWserver)->setValue(1);
  auto* marker = Widget<QRadioButton>(*w.optDefWserver[1]);
  EXPECT_FALSE(marker->isChecked());
  QTest::mouseClick(marker, Qt::LeftButton);
  QTest::mouseClick(marker, Qt::LeftButton);  // a second click cannot clear it
  EXPECT_TRUE(marker->isChecked());
  EXPECT_FALSE(Widget<QRadioButton>(*w.optDefWserver[3])->isChecked());
  EXPECT_EQ(box_.Stored().wdefserver, 1);
}

TEST_F(WindowTest, SwitchesEnableTheirFieldsAndAreSaved) {
  Open([](SettingsRecord& r) { r.useftp = true; });
  frmMain& w = model_->window;
  std::vector<QWidget*> ftp{Widget(w.vscrFtpserver)};
  for (int i = 0; i < kSlots; ++i) {
    for (const Control* c : std::initializer_list<const Control*>{
             w.txtFTPserver[i].get(), w.txtRemoteFile[i].get(), w.txtFTPUser[i].get(),
             w.txtFTPPass[i].get(), w.optDefFTPserver[i].get(), w.txtHTMLTemplate[i].get()}) {
      ftp.push_back(Widget(*c));
    }
  }
  const std::vector<QWidget*> proxy{Widget(w.txtProxySrv), Widget(w.txtProxyPort),
                                    Widget(w.lblProxy), Widget(w.lblProxyPort)};
  const auto enabled = [](const std::vector<QWidget*>& all) {
    return std::count_if(all.begin(), all.end(), [](QWidget* x) { return x->isEnabled(); });
  };
  EXPECT_EQ(enabled(ftp), 31);
  QTest::mouseClick(Widget(w.chkUseFTP), Qt::LeftButton);
  EXPECT_EQ(enabled(ftp), 0);
  EXPECT_FALSE(box_.Stored().useftp);
  EXPECT_TRUE(Widget(w.cmdSelectFile)->isEnabled());
  EXPECT_EQ(enabled(proxy), 0);
  QTest::mouseClick(Widget(*w.optUseDefProxy[2]), Qt::LeftButton);
  EXPECT_EQ(enabled(proxy), 4);
  EXPECT_EQ(box_.Stored().proxycon, 2);
  QTest::mouseClick(Widget(*w.optUseDefProxy[1]), Qt::LeftButton);
  EXPECT_EQ(enabled(proxy), 0);
  EXPECT_EQ(box_.Stored().proxycon, 1);
  EXPECT_FALSE(Widget(w.cmdLOG)->isEnabled());
  QTest::mouseClick(Widget(w.chkLOG), Qt::LeftButton);
  EXPECT_TRUE(Widget(w.cmdLOG)->isEnabled());
  EXPECT_TRUE(box_.Stored().writelog);
}

TEST_F(WindowTest, TabWalksTheFieldsInTheirOrder) {
  Open([](SettingsRecord& r) { r.useftp = true; });
  Texts order = {"optDefWserver4", "optDefWserver3", "optDefWserver2", "optDefWserver1",
                 "optDefWserver0", "txtWserver0",    "vscrWserver"};
  const auto each_slot = [&](const std::string& name, int from) {
    for (int i = from; i < kSlots; ++i) order.push_back(name + std::to_string(i));
  };
  each_slot("txtWserver", 1);
  order.push_back("vscrFtpserver");
  each_slot("txtFTPserver", 0);
  each_slot("optDefFTPserver", 0);
  for (const char* n : {"txtProxySrv", "txtProxyUser", "txtProxyPass", "optUseDefProxy0",
                        "optUseDefProxy2", "chkUseFTP", "optUseDefProxy1"}) {
    order.push_back(n);
  }
  each_slot("txtRemoteFile", 0);
  each_slot("txtFTPUser", 0);
  each_slot("txtFTPPass", 0);
  for (const char* n :
       {"txtProxyPort", "cmdNow", "cmdEnd", "chkLOG", "cmdLOG", "txtTemplate0", "cmdSelectFile"}) {
    order.push_back(n);
  }
  each_slot("txtTemplate", 1);
  Texts chain;
  QWidget* w = view_->findChild<QWidget*>(order.front().c_str());
  ASSERT_NE(w, nullptr);
  for (; chain.size() < order.size(); w = w->nextInFocusChain()) {
    if (w->focusPolicy() & Qt::TabFocus) chain.push_back(w->objectName().toStdString());
  }
  EXPECT_EQ(chain, order);
  QApplication::setActiveWindow(view_.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
  Widget<QScrollBar>(model_->window.vscrFtpserver)->setValue(2);
  Widget(model_->window.vscrFtpserver)->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(QApplication::focusWidget(), Widget(*model_->window.txtFTPserver[2]))
      << "Tab onto a scroll bar lands in the visible slot's server box";
}

TEST_F(WindowTest, ChosenTemplateLandsInTheVisibleFtpSlot) {
  EXPECT_EQ(QtNameFilters("Alle Dateien (*.*)|*.*|HTML-Dateien (*.htm; *.html)|*.htm;*.html"),
            QStringList({"Alle Dateien (*)", "HTML-Dateien (*.htm *.html)"}));
  EXPECT_EQ(QtNameFilters("Ohne Muster"), QStringList());
  const std::string page = box_.File("seite.htm");
  WriteFile(page, "x");
  for (const bool ftp_on : {true, false}) {
    Open([&](SettingsRecord& r) {
      r.useftp = ftp_on;
      r.htmltemplatefile = {};
    });
    Widget<QScrollBar>(model_->window.vscrFtpserver)->setValue(ftp_on ? 3 : 0);
    for (const bool cancel : {true, false}) {
      AnswerModals([&](QWidget* modal) {
        auto* chooser = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(chooser, nullptr);
        EXPECT_EQ(chooser->windowTitle(), QString::fromUtf8("Templatefile auswählen"));
        EXPECT_EQ(chooser->selectedNameFilter(), "HTML-Dateien (*.htm *.html)");
        EXPECT_EQ(chooser->directory().absolutePath().toStdString(), box_.path());
        if (cancel) return chooser->reject();
        auto* name = chooser->findChild<QLineEdit*>("fileNameEdit");
        name->setText(QString::fromStdString(page));  // typed and confirmed, as a user does
        QTest::keyClick(name, Qt::Key_Return);
      });
      QTest::mouseClick(Widget(model_->window.cmdSelectFile), Qt::LeftButton);
      modal_poll_.stop();
      const int slot = ftp_on ? 3 : 0;
      EXPECT_EQ(box_.Stored().htmltemplatefile[slot], cancel ? "" : page) << ftp_on << cancel;
      EXPECT_EQ(Widget<QLineEdit>(*model_->window.txtHTMLTemplate[slot])->text().toStdString(),
                cancel ? "" : page);
    }
  }
}

TEST_F(WindowTest, CheckShowsPlainOkBoxesWithTheProductName) {
  EchoServer echo;
  echo.Serve("/ip", "203.0.113.7");
  Open([&](SettingsRecord& r) {
    r.wserver[1] = "http://127.0.0.1:1/ip.shtml";
    r.wserver[2] = echo.Url("/ip");
    r.proxycon = 1;
  });
  Texts messages;
  AnswerModals([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "Pellvane");
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_FALSE(Widget(model_->window.cmdNow)->isEnabled());
    messages.push_back(box->text().toStdString());
    box->button(QMessageBox::Ok)->click();
  });
  for (int slot : {1, 2, 2}) {
    Widget<QScrollBar>(model_->window.vscrWserver)->setValue(slot);
    QTest::mouseClick(Widget(model_->window.cmdNow), Qt::LeftButton);
    EXPECT_TRUE(Widget(model_->window.cmdNow)->isEnabled());
  }
  ASSERT_GE(messages.size(), 4u);
  EXPECT_EQ(Texts(messages.end() - 4, messages.end()),
            (Texts{"Keine gültige IP erhalten", "Ihrer aktuelle IP-Adresse: 203.0.113.7",
                   "Keine Änderung der IP-Adresse", "Ihrer aktuelle IP-Adresse: 203.0.113.7"}));
}

TEST(WindowProgramTest, StartsPaintsAndEndsOrSaysThereIsNoDisplay) {
  Sandbox box;
  const ProgramResult none = box.Run(PELLVANE_WINDOW_BIN, {},
                                     {{"DISPLAY", std::nullopt},
                                      {"WAYLAND_DISPLAY", std::nullopt},
                                      {"QT_QPA_PLATFORM", std::nullopt}});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("keine grafische Anzeige"), std::string::npos) << none.err;
  EXPECT_FALSE(FileExists(box.StoreFile()));
  const ProgramResult r =
      box.Run(PELLVANE_WINDOW_BIN, {},
              {{"QT_QPA_PLATFORM", "offscreen"}, {"PELLVANE_SCREENSHOT", box.File("f.png")}});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(box.File("f.png")).substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(box.Stored().wserver[0], kEchoUrl) << "start-up stores the built-in echo URL";
}

}  // namespace
}  // namespace pellvane::testing
