#include "widgets/name_label.h"

#include <QLabel>

namespace orvelan::app {

QLabel* makeNameLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setMinimumSize(120, label->minimumSizeHint().height());
    label->setBackgroundRole(QPalette::Light);
    label->setAutoFillBackground(true);
    return label;
}

}  // namespace orvelan::app
