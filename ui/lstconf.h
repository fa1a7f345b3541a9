// The recent configurations: the "&Configuration" menu items that follow the
// anchor FichierSeparateur, up to the next item captioned "-", are the list
// itself (entry 0, the most recent, right after the anchor). The list is kept
// in the program's settings store between runs, and keeps the window caption
// as "Vantor - NAME".
#pragma once

#include <QString>
#include <functional>

class QAction;
class QMenu;
class QSettings;

// `caption` with what follows its first "-" replaced by a blank and `name`
// (" -" is appended first when it holds no "-").
QString CaptionWithName(const QString& caption, const QString& name);

class TLstConf {
public:
    // Loads the entries from `registry` (open); `onClick` is the anchor's
    // handler, given each entry clicked.
    TLstConf(QAction* anchor, QSettings& registry, int capacity, std::function<void(QAction*)> onClick);

    void RecentAdd(const QString& path);
    // The caption of entry 0, empty when the list is empty.
    QString RecentFirst() const;
    // The caption of the window owning the anchor, with `name` after its first "-".
    void ShowConfigName(const QString& name);
    // Writes the entries and their count; values above the count stay as they are.
    void RecentSave(QSettings& registry) const;

    QList<QAction*> Entries() const;

private:
    QMenu* Menu() const;

    QAction* anchor_;
    int capacity_;
    std::function<void(QAction*)> onClick_;
};
