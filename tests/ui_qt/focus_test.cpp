// The window's details a user meets with the mouse: where the focus goes after a click on a
// pager's arrow, the maker link's hand, and Qt's own words in German.
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QTest>

#include "window_fixture.h"

namespace pellvane::testing {
namespace {

class FocusTest : public WindowTest {
 protected:
  void SetUp() override {
    Store([](SettingsRecord& r) { r.useftp = true; });
    Open();
    QApplication::setActiveWindow(view_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
  }
};

// The lower arrow pages to the next slot; the focus goes to that slot's server box, the one
// that Tab onto the scroll bar would give.
TEST_F(FocusTest, ArrowClickFocusesTheShownSlotsServerBox) {
  struct Case {
    ScrollBar& bar;
    Slots<TextBox>& boxes;
  };
  for (const Case& c : {Case{window_->vscrWserver, window_->txtWserver},
                        Case{window_->vscrFtpserver, window_->txtFTPserver}}) {
    auto* bar = Widget<QScrollBar>(c.bar);
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() - 3));
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), 1) << c.bar.name();
    auto* box = Widget<QLineEdit>(*c.boxes[1]);
    EXPECT_EQ(QApplication::focusWidget(), box) << c.bar.name();
    EXPECT_FALSE(box->hasSelectedText()) << "a click selects nothing to type over";
  }
}

TEST_F(FocusTest, LinkShowsAHandOf32PixelsPointingAtItsHotSpot) {
  const QCursor cursor = Widget(window_->lblHREF)->cursor();
  const QImage image = cursor.pixmap().toImage();
  EXPECT_EQ(image.size(), QSize(32, 32));
  EXPECT_EQ(cursor.hotSpot(), QPoint(12, 1));
  EXPECT_NE(qAlpha(image.pixel(cursor.hotSpot())), 0) << "the fingertip is at the hot spot";
  EXPECT_EQ(qAlpha(image.pixel(12, 0)), 0) << "nothing above the fingertip";
}

TEST_F(FocusTest, ChooserListsTheEntriesAsWrittenInGerman) {
  QStringList entries;
  QString cancel;
  AnswerModals([&](QWidget* modal) {
    auto* chooser = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(chooser, nullptr);
    entries = chooser->nameFilters();
    auto* buttons = chooser->findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    cancel = buttons->button(QDialogButtonBox::Cancel)->text();
    chooser->reject();
  });
  QTest::mouseClick(Widget(window_->cmdSelectFile), Qt::LeftButton);
  EXPECT_EQ(entries, QStringList({"Alle Dateien (*.*)", "HTML-Dateien (*.htm; *.html)",
                                  "Textdateien (*.txt)"}));
  EXPECT_EQ(cancel.remove(u'&'), "Abbrechen");
}

}  // namespace
}  // namespace pellvane::testing
