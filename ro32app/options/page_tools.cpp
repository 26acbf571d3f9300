#include "options/page_tools.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace orvelan::app {

void QuietList::refill(const QStringList& entries, int selected)
{
    quietly([&] {
        list_->clear();
        list_->addItems(entries);
        list_->setCurrentIndex(selected);
    });
}

void QuietList::select(int index)
{
    quietly([&] { list_->setCurrentIndex(index); });
}

void QuietList::quietly(const std::function<void()>& change)
{
    QObject::disconnect(list_, &QComboBox::currentIndexChanged, nullptr, nullptr);
    change();
    connect_();
}

QStringList numberEntries(int first, int count)
{
    QStringList entries;
    for (int i = 0; i < count; ++i)
        entries << QString::number(first + i);
    return entries;
}

QString pageText(const QObject* page, const char* text)
{
    return QCoreApplication::translate(page->metaObject()->className(), text);
}

bool askToAdjust(QWidget* page, const QString& title, const QString& text)
{
    return QMessageBox::warning(page, title, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) ==
           QMessageBox::Ok;
}

void refuse(QWidget* page, const QString& title, const QString& text)
{
    QMessageBox::warning(page, title, text, QMessageBox::Ok);
}

}  // namespace orvelan::app
