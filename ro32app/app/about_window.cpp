#include "app/about_window.h"

#include <QDialog>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/resources.h"

namespace orvelan::app {

namespace {

constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 5;
constexpr int kVersionPatch = 1;

}  // namespace

QString versionString()
{
    return QString("%1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionPatch);
}

std::unique_ptr<QDialog> makeAboutWindow(QWidget* parent)
{
    auto dialog = std::make_unique<QDialog>(parent);
    dialog->setWindowTitle(QDialog::tr("About Orvelan"));
    dialog->setModal(true);

    auto* logo = new QLabel;
    logo->setPixmap(QPixmap(kResourcePath + "/vexolabs.png").scaledToWidth(150, Qt::FastTransformation));
    auto* name = new QLabel;
    name->setTextFormat(Qt::RichText);
    name->setText(QStringLiteral("<b>Orvelan</b>"));
    QFont font = name->font();
    font.setPointSize(15);
    name->setFont(font);
    auto* version = new QLabel(QStringLiteral("version ") + versionString());
    auto* ok = new QPushButton(QStringLiteral("OK"));
    QObject::connect(ok, &QPushButton::clicked, dialog.get(), &QDialog::close);

    auto* labels = new QVBoxLayout;
    labels->setContentsMargins(10, 10, 10, 10);
    labels->setSpacing(10);
    for (QLabel* label : {logo, name, version})
        labels->addWidget(label, 0, Qt::AlignHCenter);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addStretch();
    auto* outer = new QVBoxLayout(dialog.get());
    outer->addLayout(labels);
    outer->addLayout(buttons);
    return dialog;
}

void showAboutWindow(QWidget* parent)
{
    makeAboutWindow(parent)->exec();
}

}  // namespace orvelan::app
