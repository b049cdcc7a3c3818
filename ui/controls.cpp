#include "ui/controls.h"

#include <algorithm>

namespace pellvane {

void TextBox::SetText(std::string text) {
  if (Update(text_, text) && on_change_) on_change_();
}

void CheckBox::SetValue(int value) {
  if (Update(value_, value) && on_click_) on_click_();
}

OptionButton::OptionButton(std::string name, OptionGroup& group, int index)
    : Control(std::move(name)), group_(group), index_(index) {
  group_.Add(*this);
}

void OptionButton::Select() {
  if (value_) return;
  group_.ClearAllBut(*this);
  Update(value_, true);
  if (on_click_) on_click_(index_);
}

void OptionGroup::ClearAllBut(const OptionButton& keep) {
  for (OptionButton* b : buttons_) {
    if (b != &keep) b->Clear();
  }
}

void ScrollBar::SetValue(int value) {
  if (Update(value_, std::clamp(value, min_, max_)) && on_change_) on_change_();
}

void ScrollBar::GotFocus() const {
  if (on_got_focus_) on_got_focus_();
}

void CommandButton::Click() const {
  if (enabled() && on_click_) on_click_();
}

}  // namespace pellvane
