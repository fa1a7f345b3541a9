// The recent configurations the window calls: the most recent first, at most
// `capacity` entries. For now the list lives in memory only; keeping it in the
// registry and showing it in the menu after FichierSeparateur come next.
#pragma once

#include <QString>
#include <QStringList>

class QSettings;

class TLstConf {
public:
    explicit TLstConf(int capacity) : capacity_(capacity) {}
    // The most recent entry, empty when there is none.
    QString RecentFirst() const { return entries_.isEmpty() ? QString() : entries_.first(); }
    // Puts `path` at the top (moving it there if already listed).
    void RecentAdd(const QString& path) {
        entries_.removeAll(path);
        entries_.prepend(path);
        while (entries_.size() > capacity_) entries_.removeLast();
    }
    const QStringList& Entries() const { return entries_; }

private:
    int capacity_;
    QStringList entries_;
};
