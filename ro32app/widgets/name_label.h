// The sunken-looking field that shows a file name in the input and
// recording panels: at least 120 pixels wide, one line high, on the
// palette's light background so an empty name still reads as a field.
#pragma once

class QLabel;
class QWidget;

namespace orvelan::app {

QLabel* makeNameLabel(QWidget* parent);

}  // namespace orvelan::app
