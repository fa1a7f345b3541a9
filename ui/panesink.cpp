#include "ui/panesink.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <map>

using namespace vantor;

namespace {
constexpr int kFlushMs = 50;
// One flush of a running batch keeps the window thread at most this long, so
// that a click is answered while the pane fills.
constexpr int kFlushBudgetMs = 12;
// Pieces of one look are joined up to this size, so that a flush can stop
// between them.
constexpr size_t kPieceMax = 4096;
}

QString FromConsoleText(const char* text, size_t len) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = utf8.decode(QByteArrayView(text, static_cast<qsizetype>(len)));
    if (!utf8.hasError()) return s;
    return QString::fromLatin1(text, static_cast<qsizetype>(len));
}

QColor PaneSink::ToQColor(uint32_t c) { return QColor(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff); }

PaneSink::PaneSink(QPlainTextEdit* pane) : pane_(pane) {
    timer_.setSingleShot(true);
    timer_.setInterval(kFlushMs);
    connect(&timer_, &QTimer::timeout, this, [this] { FlushFor(kFlushBudgetMs); });
}

uint32_t PaneSink::DefaultColour() const {
    const QColor c = pane_->palette().color(QPalette::Text);
    return static_cast<uint32_t>(c.red()) | static_cast<uint32_t>(c.green()) << 8 |
           static_cast<uint32_t>(c.blue()) << 16;
}

void PaneSink::Append(const char* text, size_t len, uint32_t colour, uint8_t style) {
    if (style & fsUnderline && onTitle) onTitle(std::string(text, len));
    // A piece in the look of the one before it joins it.
    if (HasPending() && pending_.back().colour == colour && pending_.back().style == style &&
        pending_.back().end == text_.size() && pending_.back().end - pending_.back().begin < kPieceMax) {
        text_.append(text, len);
        pending_.back().end = text_.size();
    } else {
        const size_t begin = text_.size();
        text_.append(text, len);
        pending_.push_back({begin, text_.size(), colour, style});
    }
    if (!timer_.isActive()) timer_.start();
}

QTextCharFormat PaneSink::FormatFor(uint32_t colour, uint8_t style) const {
    QTextCharFormat f;
    if (colour != DefaultColour()) f.setForeground(ToQColor(colour));
    if (style & fsBold) f.setFontWeight(QFont::Bold);
    if (style & fsItalic) f.setFontItalic(true);
    if (style & fsUnderline) f.setFontUnderline(true);
    if (style & fsStrikeOut) f.setFontStrikeOut(true);
    return f;
}

void PaneSink::Flush() { FlushFor(-1); }

void PaneSink::FlushFor(int budgetMs) {
    timer_.stop();
    if (!HasPending()) return;
    QElapsedTimer clock;
    clock.start();
    QTextCursor cursor(pane_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    while (next_ < pending_.size() && (budgetMs < 0 || clock.elapsed() < budgetMs)) {
        const Piece& p = pending_[next_++];
        cursor.insertText(FromConsoleText(text_.data() + p.begin, p.end - p.begin), FormatFor(p.colour, p.style));
    }
    cursor.endEditBlock();
    if (next_ == pending_.size()) {
        pending_.clear();
        text_.clear();
        next_ = 0;
    } else {
        // The rest comes at the next turn of the loop; the text put into the
        // pane is dropped from the front once it is the larger part.
        if (next_ > pending_.size() / 2) {
            const size_t cut = pending_[next_].begin;
            text_.erase(0, cut);
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(next_));
            for (Piece& p : pending_) p.begin -= cut, p.end -= cut;
            next_ = 0;
        }
        timer_.start(0);
    }
    // The caret goes to the end and the view follows it.
    pane_->setTextCursor(cursor);
    pane_->verticalScrollBar()->setValue(pane_->verticalScrollBar()->maximum());
}

void PaneSink::Clear() {
    timer_.stop();
    pending_.clear();
    text_.clear();
    next_ = 0;
    pane_->clear();
}

// --- RTF ---------------------------------------------------------------------

namespace {

void AppendRtfText(QByteArray& out, const QString& text) {
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += '\\';
            out += static_cast<char>(u);
        } else if (u == '\t') {
            out += "\\tab ";
        } else if (u < 0x80) {
            out += static_cast<char>(u);
        } else {
            // \uN takes a signed 16-bit number, then one fallback character.
            out += "\\u" + QByteArray::number(static_cast<int16_t>(u)) + '?';
        }
    }
}

}  // namespace

bool SaveRichText(const QPlainTextEdit& pane, const QString& path) {
    const QTextDocument* doc = pane.document();
    // Colour table: entry 0 is the default colour, then every colour used.
    std::map<QRgb, int> colours;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.hasProperty(QTextFormat::ForegroundBrush)) colours.emplace(f.foreground().color().rgb(), 0);
        }
    QByteArray out = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fmodern Courier New;}}\n{\\colortbl;";
    int index = 1;
    for (auto& [rgb, i] : colours) {
        i = index++;
        out += "\\red" + QByteArray::number(qRed(rgb)) + "\\green" + QByteArray::number(qGreen(rgb)) + "\\blue" +
               QByteArray::number(qBlue(rgb)) + ';';
    }
    out += "}\n\\f0\\fs18 ";
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const QTextCharFormat f = frag.charFormat();
            QByteArray on, off;
            if (f.hasProperty(QTextFormat::ForegroundBrush)) {
                on += "\\cf" + QByteArray::number(colours[f.foreground().color().rgb()]);
                off += "\\cf0";
            }
            if (f.fontWeight() >= QFont::Bold) on += "\\b", off += "\\b0";
            if (f.fontItalic()) on += "\\i", off += "\\i0";
            if (f.fontUnderline()) on += "\\ul", off += "\\ulnone";
            if (f.fontStrikeOut()) on += "\\strike", off += "\\strike0";
            if (!on.isEmpty()) out += on + ' ';
            AppendRtfText(out, frag.text());
            if (!off.isEmpty()) out += off + ' ';
        }
        if (b.next().isValid()) out += "\\par\n";
    }
    out += "}\n";
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(out) == out.size() && file.flush();
}
