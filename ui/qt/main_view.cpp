#include "ui/qt/main_view.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QFrame>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QTimer>
#include <algorithm>
#include <type_traits>

#include "ui/qt/bindings.h"
#include "ui/qt/hand_cursor.h"

namespace pellvane {
namespace {

constexpr int kTwipsPerPixel = 15;
constexpr Twips kClientArea{0, 0, 4950, 6915};
// The window's font: 8.25 point at 96 dots per inch, narrow enough for the laid-out captions.
constexpr int kFontPixels = 11;

QRect Pixels(Twips t) {
  return {t.left / kTwipsPerPixel, t.top / kTwipsPerPixel, t.width / kTwipsPerPixel,
          t.height / kTwipsPerPixel};
}

// Password boxes show every character as "*", whatever the desktop style would use.
class AsteriskStyle final : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* result) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, result);
  }
};

void Mask(QLineEdit* box, QStyle* style) {
  box->setStyle(style);
  box->setEchoMode(QLineEdit::Password);
}

// Lets pending paint and timer events run, but no mouse or keyboard input.
void YieldToPaint() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

}  // namespace

MainView::MainView(frmMain& window, QtDialogs& dialogs, RunLog& log)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      window_(window),
      log_(log),
      asterisks_(new AsteriskStyle) {
  asterisks_->setParent(this);
  setObjectName("frmMain");
  setWindowTitle(kProductName);
  setFixedSize(Pixels(kClientArea).size());
  QFont font = this->font();
  font.setPixelSize(kFontPixels);
  font.setStretch(QFont::SemiCondensed);
  setFont(font);

  BuildWebPager();
  BuildFtpPart();
  BuildProxyPart();
  BuildCommandPart();
  ChainTabOrder();

  dialogs.SetOwner(this);
  log_.SetYieldHook(YieldToPaint);
}

MainView::~MainView() {
  log_.SetYieldHook(nullptr);
  for (Control* c : mirrored_) c->SetObserver(nullptr);
}

QWidget* MainView::WidgetOf(const Control& control) const {
  const auto it = widgets_.find(&control);
  return it == widgets_.end() ? nullptr : it->second;
}

template <typename W, typename C>
W* MainView::Add(C& control, QWidget* parent, Twips at, int tab) {
  auto* widget = new W(parent);
  std::string name = control.name();
  if constexpr (std::is_same_v<C, OptionButton>) name += std::to_string(control.index());
  widget->setObjectName(QString::fromStdString(name));
  widget->setGeometry(Pixels(at));
  Mirror(control, widget);
  mirrored_.push_back(&control);
  widgets_[&control] = widget;
  if (tab >= 0) tab_order_.emplace_back(tab, widget);
  return widget;
}

QFrame* MainView::AddFrame(const char* name, QWidget* parent, Twips at) {
  auto* frame = new QFrame(parent);
  frame->setObjectName(name);
  frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
  frame->setGeometry(Pixels(at));
  return frame;
}

QWidget* MainView::AddContainer(const char* name, QWidget* parent, Twips at) {
  auto* container = new QWidget(parent);
  container->setObjectName(name);
  container->setGeometry(Pixels(at));
  return container;
}

void MainView::BuildWebPager() {
  frmMain& w = window_;
  QFrame* frame = AddFrame("fraWserver", this, {0, 0, 4935, 975});
  Add<QLabel>(w.lblCurWebsrv, frame, {120, 240, 1935, 255});
  Add<QLabel>(w.lblDefWSrv, frame, {3600, 240, 1215, 255});
  for (int i = 0; i < kSlots; ++i) {
    Add<QLineEdit>(*w.txtWserver[i], frame, {120, 480, 3495, 375}, i == 0 ? 7 : 8 + i);
  }
  HandFocusOn(w.vscrWserver, Add<QScrollBar>(w.vscrWserver, frame, {3600, 480, 255, 375}, 8));
  QWidget* markers = AddContainer("Frame1", frame, {4200, 480, 255, 255});
  for (int i = 0; i < kSlots; ++i) {
    Add<QRadioButton>(*w.optDefWserver[i], markers, {0, 0, 255, 255}, 6 - i);
  }
}

void MainView::BuildFtpPart() {
  frmMain& w = window_;
  QFrame* frame = AddFrame("Frame2", this, {0, 1080, 4935, 2535});
  // Stands on the frame's top edge in place of a caption, hiding the line behind it.
  Add<QCheckBox>(w.chkUseFTP, frame, {120, 0, 1455, 255}, 37)->setAutoFillBackground(true);
  Add<QLabel>(w.lblCurFTPSrv, frame, {120, 240, 1935, 255});
  Add<QLabel>(w.Label1, frame, {3600, 240, 1215, 255});
  HandFocusOn(w.vscrFtpserver, Add<QScrollBar>(w.vscrFtpserver, frame, {3600, 480, 255, 375}, 16));
  QWidget* markers = AddContainer("Frame3", frame, {4200, 480, 255, 255});
  Add<QLabel>(w.Label2, frame, {120, 1080, 855, 255});
  Add<QLabel>(w.Label3, frame, {120, 1320, 735, 255});
  Add<QLabel>(w.Label4, frame, {2400, 1320, 735, 255});
  Add<QLabel>(w.Label5, frame, {120, 2160, 1455, 255});
  for (int i = 0; i < kSlots; ++i) {
    Add<QLineEdit>(*w.txtFTPserver[i], frame, {120, 480, 3495, 375}, 20 + i);
    Add<QRadioButton>(*w.optDefFTPserver[i], markers, {0, 0, 255, 255}, 25 + i);
    Add<QLineEdit>(*w.txtRemoteFile[i], frame, {960, 960, i == 0 ? 3615 : 2655, 375}, 39 + i);
    Add<QLineEdit>(*w.txtFTPUser[i], frame, {120, 1560, 2175, 375}, 44 + i);
    Mask(Add<QLineEdit>(*w.txtFTPPass[i], frame, {2400, 1560, 2175, 375}, 49 + i), asterisks_);
    Add<QLineEdit>(*w.txtHTMLTemplate[i], frame, {1680, 2040, 2535, 375}, i == 0 ? 65 : 67 + i);
  }
  Add<QPushButton>(w.cmdSelectFile, frame, {4200, 2040, 375, 375}, 67);
}

void MainView::BuildProxyPart() {
  frmMain& w = window_;
  QFrame* frame = AddFrame("fraProxy", this, {0, 3720, 4935, 2175});
  Add<QRadioButton>(*w.optUseDefProxy[1], frame, {240, 240, 2295, 255}, 38);
  Add<QRadioButton>(*w.optUseDefProxy[0], frame, {240, 480, 2295, 255}, 35);
  Add<QRadioButton>(*w.optUseDefProxy[2], frame, {240, 720, 1455, 255}, 36);
  QFrame* fields = AddFrame("fraDefProxy", frame, {360, 960, 3855, 975});
  Add<QLabel>(w.lblProxy, fields, {120, 240, 1575, 255});
  Add<QLineEdit>(w.txtProxySrv, fields, {120, 480, 3015, 375}, 32);
  Add<QLabel>(w.lblProxyPort, fields, {3240, 240, 495, 255});
  Add<QLineEdit>(w.txtProxyPort, fields, {3240, 480, 495, 375}, 56);
  // Below the frame's visible height and hidden by the model: they only carry the values.
  Add<QLineEdit>(w.txtProxyUser, fields, {120, 960, 3615, 375}, 33);
  Mask(Add<QLineEdit>(w.txtProxyPass, fields, {120, 1440, 3615, 375}, 34), asterisks_);
}

void MainView::BuildCommandPart() {
  frmMain& w = window_;
  QFrame* frame = AddFrame("fraCMD", this, {0, 6000, 4935, 855});
  Add<QPushButton>(w.cmdNow, frame, {120, 240, 1095, 375}, 58);
  Add<QCheckBox>(w.chkLOG, frame, {1320, 240, 1095, 375}, 63);
  Add<QPushButton>(w.cmdLOG, frame, {2520, 240, 1095, 375}, 64);
  auto* end = Add<QPushButton>(w.cmdEnd, frame, {3720, 240, 1095, 375}, 59);
  // Runs after the model's handler has unloaded the window.
  connect(end, &QPushButton::clicked, this, [this] {
    if (window_.unloaded()) close();
  });

  auto* link = Add<QLabel>(w.lblHREF, frame, {3360, 600, 1455, 255});
  QFont font = link->font();
  font.setUnderline(true);
  link->setFont(font);
  // The host name is wider than the laid-out label: it grows to the left and shows whole.
  const int needed = link->fontMetrics().horizontalAdvance(link->text());
  if (needed > link->width()) {
    link->setGeometry(link->geometry().right() + 1 - needed, link->y(), needed, link->height());
  }
  QPalette palette = link->palette();
  palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
  link->setPalette(palette);
  link->setCursor(HandCursor());
  OnEvent(link, QEvent::MouseButtonRelease, [this, link](QEvent* event) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && link->rect().contains(mouse->position().toPoint())) {
      window_.lblHREF_Click();
    }
  });
}

// The scroll bar never keeps the focus: it goes on to the visible slot's server box. A click
// on an arrow gives the focus before it pages, so the hand-over waits for the page to change:
// handed over at once, the focus would sit in the box being hidden and Qt would pass it on.
void MainView::HandFocusOn(ScrollBar& control, QScrollBar* bar) {
  bar->setFocusPolicy(Qt::StrongFocus);
  OnEvent(bar, QEvent::FocusIn, [this, &control, bar](QEvent* event) {
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    QTimer::singleShot(0, bar, [this, &control, bar, reason] {
      if (!bar->hasFocus()) return;
      control.GotFocus();
      if (window_.focused() == nullptr) return;
      if (QWidget* box = WidgetOf(*window_.focused())) box->setFocus(reason);
    });
  });
}

void MainView::ChainTabOrder() {
  std::sort(tab_order_.begin(), tab_order_.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < tab_order_.size(); ++i) {
    setTabOrder(tab_order_[i - 1].second, tab_order_[i].second);
  }
}

void MainView::closeEvent(QCloseEvent* event) {
  // While a check or an upload runs the window takes no input, its close box included.
  if (!window_.cmdNow.enabled()) {
    event->ignore();
    return;
  }
  window_.Form_Unload();
  event->accept();
}

}  // namespace pellvane
