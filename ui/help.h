// The help pages: "VANTOR.html" (French) and "vantor2.html" (English) beside
// the program, opened in the user's browser at a topic's anchor.
#pragma once

#include <QString>
#include <QUrl>

// The application's help file, by name; the program entry sets the French
// one, the switch to English the English one.
void SetHelpFile(const QString& name);
QString HelpFile();

// The help file beside the program, at the anchor `keyword` (none: the top).
// The keyword goes into the fragment percent-encoded as UTF-8, which is how
// browsers match it against the page's id attributes.
QUrl HelpUrl(const QString& keyword = QString());
// Opens HelpUrl(keyword) with the desktop's handler for files.
bool ShowHelp(const QString& keyword = QString());
