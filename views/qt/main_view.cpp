#include "views/qt/main_view.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QFrame>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QTimer>
#include <algorithm>
#include <type_traits>

#include "views/qt/bindings.h"
#include "views/qt/hand_cursor.h"

namespace pellvane {
namespace {

constexpr int kTwipsPerPixel = 15;
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

  Build();
  ChainTabOrder();

  dialogs.SetOwner(this);
  log_.SetYieldHook(YieldToPaint);
  window_.SetObserver([this] { ShowState(); });
  // The end of the desktop session ends the program as the close box does, check or not.
  connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { window_.Form_Unload(); });
}

MainView::~MainView() {
  log_.SetYieldHook(nullptr);
  window_.SetObserver(nullptr);
  if (busy_) QApplication::restoreOverrideCursor();
  for (Control* c : mirrored_) c->SetObserver(nullptr);
}

QWidget* MainView::WidgetOf(const Control& control) const {
  const auto it = widgets_.find(&control);
  return it == widgets_.end() ? nullptr : it->second;
}

template <typename W, typename C>
W* MainView::Add(const Placement& p, QWidget* parent) {
  auto* widget = new W(parent);
  widget->setObjectName(QString::fromStdString(p.name));
  widget->setGeometry(Pixels(p.at));
  auto& control = static_cast<C&>(*p.control);
  Mirror(control, widget);
  mirrored_.push_back(&control);
  widgets_[&control] = widget;
  if (p.tab >= 0) tab_order_.emplace_back(p.tab, widget);
  return widget;
}

void MainView::Build() {
  std::unordered_map<std::string, QWidget*> containers;
  for (const Placement& p : window_.layout()) {
    QWidget* parent = p.container.empty() ? this : containers.at(p.container);
    switch (p.kind) {
      case Kind::kFrame: {
        auto* frame = new QFrame(parent);
        frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
        containers[p.name] = frame;
        break;
      }
      case Kind::kGroup:
        containers[p.name] = new QWidget(parent);
        break;
      case Kind::kLabel:
        Add<QLabel, Label>(p, parent);
        break;
      case Kind::kLink:
        MakeLink(Add<QLabel, Label>(p, parent));
        break;
      case Kind::kText: {
        auto* box = Add<QLineEdit, TextBox>(p, parent);
        if (p.masked) Mask(box, asterisks_);
        break;
      }
      case Kind::kCheck:
        // One standing on its frame's top edge in place of a caption hides the line behind it.
        Add<QCheckBox, CheckBox>(p, parent)->setAutoFillBackground(true);
        break;
      case Kind::kOption:
        Add<QRadioButton, OptionButton>(p, parent);
        break;
      case Kind::kScroll:
        HandFocusOn(static_cast<ScrollBar&>(*p.control), Add<QScrollBar, ScrollBar>(p, parent));
        break;
      case Kind::kButton:
        Add<QPushButton, CommandButton>(p, parent);
        break;
    }
    if (p.control == nullptr) {
      containers[p.name]->setObjectName(QString::fromStdString(p.name));
      containers[p.name]->setGeometry(Pixels(p.at));
    }
  }
}

void MainView::MakeLink(QLabel* link) {
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
  window_.Close();
  event->setAccepted(window_.unloaded());
}

void MainView::ShowState() {
  if (window_.busy() != busy_) {
    busy_ = window_.busy();
    if (busy_) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
      QApplication::restoreOverrideCursor();
    }
  }
  if (window_.unloaded()) close();
}

}  // namespace pellvane
