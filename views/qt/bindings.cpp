#include "views/qt/bindings.h"

#include <QFontMetrics>
#include <QSignalBlocker>
#include <QStyle>
#include <limits>

namespace pellvane {
namespace {

// Installs `sync` as the model's observer and runs it once, so the widget starts as the model.
// Signals are blocked while mirroring, so a change made by code never counts as a user edit.
template <typename W>
std::function<void()> Observe(Control& model, W* widget, std::function<void()> show) {
  std::function<void()> sync = [&model, widget, show = std::move(show)] {
    const QSignalBlocker block(widget);
    widget->setEnabled(model.enabled());
    widget->setHidden(!model.visible());
    show();
  };
  model.SetObserver(sync);
  sync();
  return sync;
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A check box caption broken at blanks into lines that fit beside the box, as the platform's
// check boxes wrap a caption too long for one line.
QString Wrapped(const QString& caption, const QCheckBox* box) {
  const QStyle* style = box->style();
  const int room = box->width() - style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) -
                   style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box);
  const QFontMetrics metrics = box->fontMetrics();
  QString text;
  QString line;
  for (const QString& word : caption.split(u' ')) {
    const QString longer = line.isEmpty() ? word : line + u' ' + word;
    if (!line.isEmpty() && metrics.horizontalAdvance(longer) > room) {
      text += line + u'\n';
      line = word;
    } else {
      line = longer;
    }
  }
  return text + line;
}

}  // namespace

void Mirror(Label& model, QLabel* widget) {
  widget->setTextFormat(Qt::PlainText);
  Observe(model, widget, [&model, widget] { widget->setText(Q(model.caption())); });
}

void Mirror(TextBox& model, QLineEdit* widget) {
  // Qt's own limit of 32,767 characters would cut a longer stored text, and the first edit
  // would store it cut.
  widget->setMaxLength(std::numeric_limits<int>::max());
  Observe(model, widget, [&model, widget] {
    // Setting an equal text would only move the cursor to the end while the user types.
    const QString text = Q(model.text());
    if (widget->text() != text) widget->setText(text);
  });
  QObject::connect(widget, &QLineEdit::textEdited,
                   [&model](const QString& text) { model.SetText(text.toStdString()); });
}

void Mirror(CheckBox& model, QCheckBox* widget) {
  auto sync = Observe(model, widget, [&model, widget] {
    widget->setText(Wrapped(Q(model.caption()), widget));
    widget->setChecked(model.value() == 1);
  });
  QObject::connect(widget, &QCheckBox::clicked, [&model, sync](bool checked) {
    model.SetValue(checked ? 1 : 0);
    sync();
  });
}

void Mirror(OptionButton& model, QRadioButton* widget) {
  // The model keeps its group exclusive, hidden buttons included; Qt's own grouping would
  // refuse to clear a checked button when the model clears it.
  widget->setAutoExclusive(false);
  auto sync = Observe(model, widget, [&model, widget] {
    widget->setText(Q(model.caption()));
    widget->setChecked(model.value());
  });
  // A click on the selected button changes nothing; the sync undoes Qt's toggling it off.
  QObject::connect(widget, &QRadioButton::clicked, [&model, sync] {
    model.Select();
    sync();
  });
}

void Mirror(ScrollBar& model, QScrollBar* widget) {
  widget->setRange(model.min(), model.max());
  widget->setSingleStep(1);
  widget->setPageStep(1);
  auto sync = Observe(model, widget, [&model, widget] { widget->setValue(model.value()); });
  QObject::connect(widget, &QScrollBar::valueChanged, [&model, sync](int value) {
    model.SetValue(value);
    sync();
  });
}

void Mirror(CommandButton& model, QPushButton* widget) {
  widget->setAutoDefault(false);
  Observe(model, widget, [&model, widget] { widget->setText(Q(model.caption())); });
  QObject::connect(widget, &QPushButton::clicked, [&model] { model.Click(); });
}

namespace {

class EventHook final : public QObject {
 public:
  EventHook(QObject* target, QEvent::Type type, std::function<void(QEvent*)> handler)
      : QObject(target), type_(type), handler_(std::move(handler)) {
    target->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == type_) handler_(event);
    return false;
  }

 private:
  QEvent::Type type_;
  std::function<void(QEvent*)> handler_;
};

}  // namespace

void OnEvent(QObject* target, QEvent::Type type, std::function<void(QEvent*)> handler) {
  new EventHook(target, type, std::move(handler));
}

}  // namespace pellvane
