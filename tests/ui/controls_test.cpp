#include "ui/controls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pellvane {
namespace {

TEST(TextBox, ChangeHandlerRunsBeforeSetTextReturnsAndOnlyOnChange) {
  TextBox box("txtWserver0");
  std::vector<std::string> seen;
  box.OnChange([&] { seen.push_back(box.text()); });
  box.SetText("http://a");
  box.SetText("http://a");
  box.SetText("");
  EXPECT_EQ(seen, (std::vector<std::string>{"http://a", ""}));
}

TEST(CheckBox, ClickRunsOnlyWhenTheValueChanges) {
  CheckBox box("chkLOG");
  int clicks = 0;
  box.OnClick([&] { ++clicks; });
  box.SetValue(0);
  box.SetValue(1);
  box.SetValue(1);
  box.SetValue(0);
  EXPECT_EQ(clicks, 2);
}

TEST(OptionButton, SelectingClearsTheGroupAndRunsTheClickOnce) {
  OptionGroup group, other;
  OptionButton a("opt", group, 0), b("opt", group, 1), c("opt", group, 2), x("optX", other, 0);
  std::vector<int> clicks;
  for (OptionButton* o : {&a, &b, &c}) o->OnClick([&](int i) { clicks.push_back(i); });
  x.Select();
  a.Select();
  a.Select();  // already selected: no click
  c.Select();
  EXPECT_FALSE(a.value());
  EXPECT_FALSE(b.value());
  EXPECT_TRUE(c.value());
  EXPECT_TRUE(x.value());  // another group is not touched
  EXPECT_EQ(clicks, (std::vector<int>{0, 2}));
}

TEST(ScrollBar, ClampsToItsRangeAndRunsChangeOnlyOnChange) {
  ScrollBar bar("vscrWserver", 0, 4);
  std::vector<int> seen;
  bar.OnChange([&] { seen.push_back(bar.value()); });
  bar.SetValue(3);
  bar.SetValue(9);
  bar.SetValue(4);
  bar.SetValue(-2);
  EXPECT_EQ(seen, (std::vector<int>{3, 4, 0}));
}

TEST(CommandButton, DisabledButtonTakesNoClick) {
  CommandButton button("cmdNow");
  int clicks = 0;
  button.OnClick([&] { ++clicks; });
  button.Click();
  button.SetEnabled(false);
  button.Click();
  EXPECT_EQ(clicks, 1);
}

TEST(Control, ObserverHearsEveryVisibleChangeOnce) {
  TextBox box("txtProxySrv");
  int notes = 0;
  box.SetObserver([&] { ++notes; });
  box.SetText("proxy");
  box.SetText("proxy");
  box.SetEnabled(false);
  box.SetEnabled(false);
  box.SetVisible(false);
  EXPECT_EQ(notes, 3);
}

}  // namespace
}  // namespace pellvane
