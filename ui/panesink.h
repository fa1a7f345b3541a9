// The output pane Sortie as the console's sink: coloured and styled text
// appended at the end, the view kept on the last line.
#pragma once

#include <QObject>
#include <QString>
#include <QTextCharFormat>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "console/console.h"

class QPlainTextEdit;

class PaneSink : public QObject, public vantor::ConsoleSink {
    Q_OBJECT
public:
    explicit PaneSink(QPlainTextEdit* pane);

    // Console side, on the window thread: the piece is kept and reaches the
    // widget at the next flush (a few times a second), so that a run of a
    // million lines costs the window one document edit per flush, not one
    // per line.
    void Append(const char* text, size_t len, uint32_t colour, uint8_t style) override;
    uint32_t DefaultColour() const override;

    // Puts every kept piece into the pane and shows its end.
    void Flush();
    // Empties the pane, kept pieces included.
    void Clear();
    bool HasPending() const { return next_ < pending_.size(); }
    // More is kept than a few flushes put into the pane: the console should
    // hold the worker's messages back for now.
    bool Backlogged() const { return pending_.size() - next_ > kBacklog; }

    // Told of every underlined piece when it is appended (titles: file names,
    // "Rules:", the statistics line, the closing word).
    std::function<void(const std::string&)> onTitle;

    // Console colour (blue in bits 16-23) to Qt and back.
    static QColor ToQColor(uint32_t colour);

private:
    static constexpr size_t kBacklog = 20000;  // pieces
    // Puts pieces into the pane for at most `budgetMs`; the timer brings the rest.
    void FlushFor(int budgetMs);

    struct Piece {
        size_t begin, end;  // in text_
        uint32_t colour;
        uint8_t style;
    };
    QTextCharFormat FormatFor(uint32_t colour, uint8_t style) const;

    QPlainTextEdit* pane_;
    std::string text_;
    std::vector<Piece> pending_;
    size_t next_ = 0;  // pieces before it are in the pane
    QTimer timer_;
};

// Writes the pane's text as RTF: colours in the colour table, bold, italic,
// underline and strike-out kept. False when the file cannot be written.
bool SaveRichText(const QPlainTextEdit& pane, const QString& path);

// Console text to Qt: the texts of the tool are UTF-8, a source line quoted in
// a message may be in any 8-bit set (read as Latin-1).
QString FromConsoleText(const char* text, size_t len);
