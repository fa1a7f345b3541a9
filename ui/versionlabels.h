// What the about box and the installer window show alike: the program's
// version texts in six labels, and the maker's page as a link label.
#pragma once

class QLabel;
struct TVersion;

// The project's page (no public site yet: a reserved example domain).
inline constexpr char kMakerPage[] = "https://vantor.belvane.example/";

// Product name, "Version=" and the file version, description, company, copyright, trademarks.
void FillVersionLabels(const TVersion& v, QLabel* productName, QLabel* version, QLabel* description,
                       QLabel* company, QLabel* copyright, QLabel* trademark);
// Blue, underlined, with a hand cursor; a left click opens the maker's page
// through the desktop's "open" action.
void MakeMakerLink(QLabel* label);
