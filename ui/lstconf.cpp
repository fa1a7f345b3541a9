#include "ui/lstconf.h"

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <QWidget>

namespace {

const char kCount[] = "TailleHistorique";
QString EntryKey(int i) { return QString("Emplacement%1").arg(i); }
bool IsEnd(const QAction* a) { return a->text() == "-"; }

}  // namespace

QString CaptionWithName(const QString& caption, const QString& name) {
    const qsizetype dash = caption.indexOf('-');
    return (dash >= 0 ? caption.left(dash + 1) : caption + " -") + ' ' + name;
}

TLstConf::TLstConf(QAction* anchor, QSettings& registry, int capacity, std::function<void(QAction*)> onClick)
    : anchor_(anchor), capacity_(capacity), onClick_(std::move(onClick)) {
    bool ok = false;
    int count = registry.value(kCount).toInt(&ok);
    if (!ok) return;
    if (count > capacity_) count = capacity_;
    // Oldest first, each added at the top: the stored order comes back.
    for (int i = count - 1; i >= 0; --i) {
        const QVariant v = registry.value(EntryKey(i));
        if (registry.status() != QSettings::NoError) return;
        RecentAdd(v.toString());
    }
}

QMenu* TLstConf::Menu() const {
    for (QObject* o : anchor_->associatedObjects())
        if (QMenu* m = qobject_cast<QMenu*>(o)) return m;
    return nullptr;
}

QList<QAction*> TLstConf::Entries() const {
    QList<QAction*> entries;
    QMenu* menu = Menu();
    if (!menu) return entries;
    const QList<QAction*> items = menu->actions();
    for (qsizetype i = items.indexOf(anchor_) + 1; i > 0 && i < items.size() && !IsEnd(items[i]); ++i)
        entries << items[i];
    return entries;
}

void TLstConf::RecentAdd(const QString& path) {
    QMenu* menu = Menu();
    if (path.isEmpty() || path == "-" || !menu) return;
    ShowConfigName(path);
    const QList<QAction*> before = Entries();
    QAction* entry = new QAction(path, menu);
    QObject::connect(entry, &QAction::triggered, entry, [this, entry] {
        if (onClick_) onClick_(entry);
    });
    // Right after the anchor: before the item that follows it.
    const QList<QAction*> items = menu->actions();
    menu->insertAction(items.value(items.indexOf(anchor_) + 1, nullptr), entry);
    // Exact comparison: another letter case is another file on most systems.
    for (QAction* old : before)
        if (old->text() == path) {
            menu->removeAction(old);
            delete old;
            return;
        }
    if (before.size() + 1 > capacity_) {
        menu->removeAction(before.last());
        delete before.last();
    }
}

QString TLstConf::RecentFirst() const {
    const QList<QAction*> entries = Entries();
    return entries.isEmpty() ? QString() : entries.first()->text();
}

void TLstConf::ShowConfigName(const QString& name) {
    if (QWidget* window = qobject_cast<QWidget*>(anchor_->parent()))
        window->setWindowTitle(CaptionWithName(window->windowTitle(), name));
}

void TLstConf::RecentSave(QSettings& registry) const {
    const QList<QAction*> entries = Entries();
    int i = 0;
    for (; i < capacity_ && i < entries.size(); ++i) registry.setValue(EntryKey(i), entries[i]->text());
    registry.setValue(kCount, i);
}
