#include "ui/help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>

namespace {
QString helpFile = "VANTOR.html";
}

void SetHelpFile(const QString& name) { helpFile = name; }
QString HelpFile() { return helpFile; }

QUrl HelpUrl(const QString& keyword) {
    QUrl url = QUrl::fromLocalFile(QDir(QCoreApplication::applicationDirPath()).filePath(helpFile));
    if (!keyword.isEmpty()) url.setFragment(keyword);
    return url;
}

bool ShowHelp(const QString& keyword) { return QDesktopServices::openUrl(HelpUrl(keyword)); }
