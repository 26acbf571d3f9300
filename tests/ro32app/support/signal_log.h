// Records the signals of one or more objects in the order they came, with
// their arguments: where QSignalSpy keeps one list per signal, a log shows
// which of two signals came first.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <type_traits>
#include <vector>

namespace orvelan::apptest {

class SignalLog {
public:
    struct Entry {
        QString name;
        QVariantList arguments;
    };

    template <class Sender, class... Args>
    void watch(Sender* sender, void (Sender::*signal)(Args...), const QString& name)
    {
        QObject::connect(sender, signal, &context_, [this, name](Args... arguments) {
            entries_.push_back({name, {QVariant::fromValue(std::decay_t<Args>(arguments))...}});
        });
    }

    // The signal names in order.
    QStringList names() const
    {
        QStringList list;
        for (const Entry& entry : entries_)
            list << entry.name;
        return list;
    }
    // The first argument of every signal of that name, in order.
    QVariantList values(const QString& name) const
    {
        QVariantList list;
        for (const Entry& entry : entries_)
            if (entry.name == name && !entry.arguments.isEmpty())
                list << entry.arguments.first();
        return list;
    }
    const std::vector<Entry>& entries() const { return entries_; }
    void clear() { entries_.clear(); }

private:
    QObject context_;
    std::vector<Entry> entries_;
};

}  // namespace orvelan::apptest
