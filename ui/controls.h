// The window's controls as plain objects: value, caption, enabled and visible state, and the
// handler that runs synchronously when code or the user changes the value.
// Not safe from two threads: the window's thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/text_field.h"

namespace pellvane {

class Control {
 public:
  explicit Control(std::string name) : name_(std::move(name)) {}
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& name() const { return name_; }
  bool enabled() const { return enabled_; }
  bool visible() const { return visible_; }
  void SetEnabled(bool on) { Update(enabled_, on); }
  void SetVisible(bool on) { Update(visible_, on); }
  const std::string& caption() const { return caption_; }
  void SetCaption(std::string caption) { Update(caption_, caption); }

  // Tells the view that something shown has changed; the view mirrors it at once.
  void SetObserver(std::function<void()> observer) { observer_ = std::move(observer); }

 protected:
  template <typename T>
  bool Update(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    Notify();
    return true;
  }
  void Notify() const {
    if (observer_) observer_();
  }

 private:
  std::string name_;
  bool enabled_ = true;
  bool visible_ = true;
  std::string caption_;
  std::function<void()> observer_;
};

class Label : public Control {
 public:
  using Control::Control;
};

// Setting a different text runs the change handler before SetText returns.
class TextBox : public Control, public TextField {
 public:
  using Control::Control;
  const std::string& text() const override { return text_; }
  void SetText(std::string text) override;
  void OnChange(std::function<void()> handler) { on_change_ = std::move(handler); }

 private:
  std::string text_;
  std::function<void()> on_change_;
};

// Value 0 unchecked, 1 checked; a change of value runs the click handler.
class CheckBox : public Control {
 public:
  using Control::Control;
  int value() const { return value_; }
  void SetValue(int value);
  void OnClick(std::function<void()> handler) { on_click_ = std::move(handler); }

 private:
  int value_ = 0;
  std::function<void()> on_click_;
};

class OptionGroup;

// Selecting a button that is not selected clears the others of its group, then runs its
// click handler; selecting it again does nothing. A button cannot be cleared directly.
class OptionButton : public Control {
 public:
  OptionButton(std::string name, OptionGroup& group, int index);
  bool value() const { return value_; }
  int index() const { return index_; }
  void Select();
  void OnClick(std::function<void(int)> handler) { on_click_ = std::move(handler); }

 private:
  friend class OptionGroup;
  void Clear() { Update(value_, false); }

  OptionGroup& group_;
  int index_;
  bool value_ = false;
  std::function<void(int)> on_click_;
};

// The mutually exclusive buttons of one container.
class OptionGroup {
 public:
  void Add(OptionButton& button) { buttons_.push_back(&button); }
  void ClearAllBut(const OptionButton& keep);

 private:
  std::vector<OptionButton*> buttons_;
};

// A value in [min, max]; a change of value runs the change handler. Values outside the
// range are brought to its nearer end.
class ScrollBar : public Control {
 public:
  ScrollBar(std::string name, int min, int max) : Control(std::move(name)), min_(min), max_(max) {}
  int value() const { return value_; }
  int min() const { return min_; }
  int max() const { return max_; }
  void SetValue(int value);
  void OnChange(std::function<void()> handler) { on_change_ = std::move(handler); }
  void OnGotFocus(std::function<void()> handler) { on_got_focus_ = std::move(handler); }
  void GotFocus() const;

 private:
  int min_, max_;
  int value_ = 0;
  std::function<void()> on_change_;
  std::function<void()> on_got_focus_;
};

// Click runs the handler only while the button is enabled, as a disabled button takes no click.
class CommandButton : public Control {
 public:
  using Control::Control;
  void Click() const;
  void OnClick(std::function<void()> handler) { on_click_ = std::move(handler); }

 private:
  std::function<void()> on_click_;
};

}  // namespace pellvane
