// Ties one model control to its widget: every model change shows at once, every user edit
// goes to the model (which runs its handler), and mirroring never echoes back.
// Qt objects: the window's thread only.
#pragma once

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <functional>

#include "ui/controls.h"

namespace pellvane {

void Mirror(Label& model, QLabel* widget);
void Mirror(TextBox& model, QLineEdit* widget);
void Mirror(CheckBox& model, QCheckBox* widget);
void Mirror(OptionButton& model, QRadioButton* widget);
void Mirror(ScrollBar& model, QScrollBar* widget);
void Mirror(CommandButton& model, QPushButton* widget);

// Runs `handler` for every event of `type` that reaches `target`; the event then goes on as
// usual. The hook lives as long as `target`.
void OnEvent(QObject* target, QEvent::Type type, std::function<void(QEvent*)> handler);

}  // namespace pellvane
