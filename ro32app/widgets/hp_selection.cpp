#include "widgets/hp_selection.h"

#include <QRadioButton>
#include <QVBoxLayout>

namespace orvelan::app {

CHpSelection::CHpSelection(QWidget* parent) : QWidget(parent)
{
    group_.setExclusive(true);
}

void CHpSelection::setItems(const QStringList& labels, int selectedIndex)
{
    auto* layout = new QVBoxLayout;
    for (int i = 0; i < labels.size(); ++i) {
        auto* button = new QRadioButton(labels[i]);
        if (i == selectedIndex)
            button->setChecked(true);
        group_.addButton(button, i);
        layout->addWidget(button, 0, Qt::AlignLeft);
    }
    connect(&group_, &QButtonGroup::idClicked, this, &CHpSelection::selectionChanged);
    setLayout(layout);
}

int CHpSelection::selectedIndex() const
{
    return group_.checkedId();
}

QStringList CHpSelection::labelsFor(const QList<int>& cornerFrequencies)
{
    QStringList labels;
    for (int hz : cornerFrequencies)
        labels << (hz == 0 ? QStringLiteral("off") : QString::number(hz) + " Hz");
    return labels;
}

}  // namespace orvelan::app
