// The editing control answered as an edit control: the interface an outside checker walks,
// one word per line, with the underlines it asks for drawn over the view (never into the
// document, so the source stays untouched).
#include "htmledit/HtmlEditUnit.h"
#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/QtSjis.h"
#include "platform/TWebbrowser.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QPainterPath>
#include <QWebEngineView>
#include <stdexcept>

namespace {
constexpr int kNoStart = 2147483647;

// Red wavy lines under the given view rectangles; transparent to the mouse.
class UnderlineOverlay : public QWidget {
public:
    explicit UnderlineOverlay(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setObjectName(QStringLiteral("EditorUnderlines"));
    }
    QVector<QRectF> rects;
    int segments = 0;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::red, 1.2));
        for (const QRectF &r : rects) {
            QPainterPath wave;
            const double y = r.bottom() - 1.5;
            wave.moveTo(r.left(), y);
            bool up = true;
            for (double x = r.left() + 2; x <= r.right() + 0.1; x += 2, up = !up) wave.lineTo(x, y + (up ? -1.5 : 1.5));
            p.drawPath(wave);
        }
    }
};
} // namespace

bool TProfDHTMLEdit2::loadWords()
{
    if (wordsCached_) return true;
    if (!TryGetDocument()) return false;
    const QVariant v = evalDoc(QStringLiteral("return e.words();"));
    if (!v.isValid() || v.isNull()) throw std::runtime_error("文書から単語を読めませんでした");
    words_.clear();
    for (const auto &w : QJsonDocument::fromJson(v.toString().toUtf8()).array()) {
        const QJsonArray a = w.toArray();
        words_.push_back({a.at(0).toInt(), a.at(1).toInt(), a.at(2).toString(), a.at(3).toBool()});
    }
    wordsCached_ = true;
    return true;
}

int TProfDHTMLEdit2::EMGetLineCount()
{
    if (FEditClientMode == 0) FEditClientMode = 1;
    if (!TryGetDocument()) return 0;
    loadWords();
    return words_.size();
}

int TProfDHTMLEdit2::EMLineFromChar(int Pos)
{
    if (!TryGetDocument()) return 0;
    loadWords();
    int line = -1;
    for (const EmWord &w : words_) {
        if (w.Start > Pos) break;
        ++line;
    }
    return line;
}

int TProfDHTMLEdit2::EMLineIndex(int Line)
{
    FSkipNextHighlight = Line == FLastLineIndex + 1;
    if (!TryGetDocument()) return -1;
    try {
        loadWords();
    } catch (...) {
        return -1;
    }
    FLastLineIndex = Line;
    return Line >= 0 && Line < words_.size() ? words_[Line].Start : -1;
}

int TProfDHTMLEdit2::EMGetLine(int Line, std::string &Out, int Size)
{
    Out.clear();
    if (!TryGetDocument()) return 0;
    QString text;
    try {
        loadWords();
        if (Line >= 0 && Line < words_.size() && !words_[Line].InUrl) text = words_[Line].Text;
    } catch (...) {
    }
    FLastGetLine = Line;
    const std::string bytes = toSjis(text);
    Out = bytes.substr(0, size_t(std::max(0, std::min<int>(Size, int(bytes.size())))));
    return int(Out.size());
}

int TProfDHTMLEdit2::EMGetSel(int *Start, int *End)
{
    int a = 0, b = 0;
    if (TryGetDocument()) {
        const QJsonArray p = QJsonDocument::fromJson(evalDoc(QStringLiteral("return e.selPositions();")).toString().toUtf8()).array();
        if (p.size() == 2) {
            a = p.at(0).toInt();
            b = p.at(1).toInt();
        }
    }
    if (Start) *Start = a;
    if (End) *End = b;
    return 0;
}

int TProfDHTMLEdit2::EMSetSel(int Start, int End)
{
    if (TryGetDocument()) evalDoc(QStringLiteral("return e.selectBetween(%1,%2);").arg(Start).arg(End));
    return 0;
}

int TProfDHTMLEdit2::EMReplaceSel(const std::string &Text)
{
    SetSelectedText(fromSjis(Text));
    wordsCached_ = false;
    return 0;
}

int TProfDHTMLEdit2::EMExGetSel(int &CpMin, int &)
{
    if (FEditClientMode == 0) FEditClientMode = 2;
    CpMin = 0;
    return 0;
}

std::string TProfDHTMLEdit2::EMGetSelText() { return toSjis(GetSelectedText()); }

int TProfDHTMLEdit2::EMLineScroll()
{
    FPendingHighlightStart = kNoStart;
    FPosQueryBuffer = nullptr;
    return 0;
}

int TProfDHTMLEdit2::EMPosFromChar(QPoint *Point, int Pos)
{
    if (!Point) throw std::invalid_argument("EM_POSFROMCHAR: 位置を受け取る領域が指定されていません");
    *Point = QPoint(0, 0);
    if (!FCharFromPosPoint.isNull()) {
        *Point = FCharFromPosPoint;
        FCharFromPosPoint = QPoint(0, 0);
    }
    if ((FEditClientMode != 2 && FEditClientMode != 3) || Point != FPosQueryBuffer) {
        FPendingHighlightStart = Pos;
        FSkipNextHighlight = false;
    } else if (Pos <= FPendingHighlightStart) {
        FPendingHighlightStart = Pos;
    } else if (FSkipNextHighlight) {
        FSkipNextHighlight = false;
    } else {
        if (TryGetDocument()) addHighlight(FPendingHighlightStart, Pos);
        FPendingHighlightStart = kNoStart;
    }
    FPosQueryBuffer = Point;
    return 0;
}

void TProfDHTMLEdit2::addHighlight(int From, int To)
{
    const QJsonArray rs = QJsonDocument::fromJson(evalDoc(QStringLiteral("return e.rectsBetween(%1,%2);").arg(From).arg(To)).toString().toUtf8()).array();
    auto *view = browser()->view();
    auto *o = static_cast<UnderlineOverlay *>(underlines_);
    if (!o) {
        o = new UnderlineOverlay(view);
        underlines_ = o;
    }
    o->setGeometry(view->rect());
    ++o->segments;
    for (const auto &r : rs) {
        const QJsonArray a = r.toArray();
        o->rects.push_back(QRectF(a.at(0).toDouble(), a.at(1).toDouble(), a.at(2).toDouble(), a.at(3).toDouble()));
    }
    o->show();
    o->raise();
    o->update();
}

int TProfDHTMLEdit2::highlightCount() const
{
    return underlines_ ? static_cast<UnderlineOverlay *>(underlines_)->segments : 0;
}

int TProfDHTMLEdit2::EMCharFromPos(const QPoint &Point)
{
    FEditClientMode = 3;
    FCharFromPosPoint = Point;
    if (!TryGetDocument()) return 0;
    const QVariant v = evalDoc(QStringLiteral("return e.posAtPoint(%1,%2);").arg(Point.x()).arg(Point.y()));
    return v.isValid() && !v.isNull() ? v.toInt() : 0;
}

void TProfDHTMLEdit2::WMPaint()
{
    words_.clear();
    wordsCached_ = false;
    if (auto *o = static_cast<UnderlineOverlay *>(underlines_)) {
        o->rects.clear();
        o->segments = 0;
        o->update();
    }
}
