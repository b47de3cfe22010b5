#include "platform/FolderPicker.h"
#include "platform/RichEditTools.h"
#include "platform/TRichEdit.h"
#include "text/HtmlRtf.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

const QColor kRed(255, 0, 0), kFuchsia(255, 0, 255), kTeal(0, 128, 128), kBlue(0, 0, 255), kBlack(0, 0, 0);

// Shift_JIS: ソ 表 十 (trail 0x5C), 宮 (trail 0x7B), 急 (trail 0x7D), 日本語, あ.
const std::string kSo = "\x83\x5c", kHyo = "\x95\x5c", kJu = "\x8f\x5c", kMiya = "\x8b\x7b", kKyu = "\x8b\x7d";
const std::string kNihongo = "\x93\xfa\x96\x7b\x8c\xea", kA = "\x82\xa0";

struct View {
    TRichEdit edit;
    QListWidget list;
    View()
    {
        edit.resize(400, 200);
        edit.show();
    }
};

std::string lines(int n, const std::string& prefix = "line")
{
    std::string s;
    for (int i = 1; i <= n; ++i)
        s += prefix + std::to_string(i) + "\r\n";
    return s;
}

std::vector<std::string> items(const QListWidget& l)
{
    std::vector<std::string> out;
    for (int i = 0; i < l.count(); ++i)
        out.push_back(l.item(i)->text().toStdString());
    return out;
}

} // namespace

TEST(SjisCharMap, LineBreaksAndDoubleByteCharactersCountOnce)
{
    const std::string t = "a" + kHyo + "\r\nb\rc\n" + kA + "d";
    // byte offset -> character index
    const std::vector<std::pair<std::size_t, int>> table = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3},
                                                            {6, 4}, {7, 5}, {8, 6}, {9, 7}, {10, 7}, {11, 8}, {12, 9}};
    TSjisCharMap forward(t);
    for (const auto& [byte, ch] : table)
        EXPECT_EQ(forward.charIndex(byte), ch) << byte;
    TSjisCharMap backward(t);
    for (auto it = table.rbegin(); it != table.rend(); ++it)
        EXPECT_EQ(backward.charIndex(it->first), it->second) << it->first;
    TSjisCharMap back(t);
    for (int ch : {8, 0, 1, 2, 5, 7, 3})
        EXPECT_EQ(back.charIndex(back.byteOffset(ch)), ch);
    EXPECT_EQ(back.byteOffset(2), 3u);
    EXPECT_EQ(back.byteOffset(99), t.size());
}

TEST(RichEdit, TextRoundTripsWithLineEndsMadeCrLf)
{
    View v;
    struct Case {
        std::string in, out;
    };
    for (const Case& c : std::vector<Case>{
             {"", ""},
             {"a\r\nb", "a\r\nb"},
             {"a\nb\rc\r\n", "a\r\nb\r\nc\r\n"},
             {kSo + kHyo + "{" + kMiya + "}\\" + kKyu, kSo + kHyo + "{" + kMiya + "}\\" + kKyu},
             {std::string("a\0b", 3), std::string("a\0b", 3)},
         }) {
        v.edit.setText(c.in);
        EXPECT_EQ(v.edit.text(), c.out);
    }
    v.edit.setText("x\r\n" + kNihongo + "\r\n");
    EXPECT_EQ(v.edit.lineCount(), 3);
    EXPECT_EQ(v.edit.lines(), (std::vector<std::string>{"x", kNihongo, ""}));
    SetRichText(&v.edit, QString::fromUtf8("é\r\n😀"));
    EXPECT_EQ(v.edit.toPlainText(), QString::fromUtf8("é\n😀"));
}

// The writer's document for a short Japanese fixture, byte for byte, and what the view
// makes of it: the same characters (trail bytes 0x5C, 0x7B, 0x7D included) in the colours
// of their tokens.
TEST(RichEdit, ColouredDocumentLoadsIntoTheView)
{
    const std::string html = "<b>" + kHyo + kMiya + "{}\\" + kKyu + "</b>\r\n" + kSo;
    TqelHTMLRTF writer;
    writer.SetText(html);
    const std::string rtf = writer.GetRtfText();
    const std::string body = rtf.substr(rtf.find("\\f0 ", rtf.find("\\fs20")));
    EXPECT_EQ(body, "\\f0 \\cf7 <\\cf4 b\\cf7 >\\cf8 \\'95\\'5c\\'8b\\'7b\\{\\}\\\\\\'8b\\'7d\\cf7 <\\cf4 /b\\cf7 >"
                    "\\par \\cf5 \r\n\\cf8 \\'83\\'5c\\par }");

    View v;
    v.edit.setPlainTextMode(false);
    ASSERT_TRUE(v.edit.loadFromStream(rtf));
    EXPECT_EQ(v.edit.toPlainText(), QString::fromUtf8("<b>表宮{}\\急</b>\nソ"));
    EXPECT_EQ(v.edit.text(), html);
    struct At {
        int index;
        QColor color;
    };
    for (const At& a : std::vector<At>{{0, kFuchsia}, {1, kRed}, {2, kFuchsia}, {3, kBlue}, {8, kBlue}, {9, kFuchsia},
                                       {10, kRed}, {14, kBlue}})
        EXPECT_EQ(v.edit.colorAt(a.index), a.color) << a.index;
}

TEST(RichEdit, WhatTheReaderRefusesIsShownAsPlainText)
{
    View v;
    v.edit.setPlainTextMode(false);
    for (const std::string& bad : {std::string("{\\rtf1 unclosed"), std::string("no rtf"), std::string("{\\rtf1 \\'zz}")}) {
        EXPECT_FALSE(v.edit.loadFromStream(bad));
        EXPECT_EQ(v.edit.text(), bad);
    }
    TqelHTMLRTF writer;
    writer.SetText("<p>");
    const std::string rtf = writer.GetRtfText();
    v.edit.setPlainTextMode(true);
    EXPECT_FALSE(v.edit.loadFromStream(rtf));
    EXPECT_EQ(v.edit.text().rfind("{\\", 0), 0u);

    TRtfContent c;
    ASSERT_TRUE(readRtf("{\\rtf1{\\colortbl;\\red1\\green2\\blue3;}{\\*\\x hidden}a\\b b\\b0\\cf1 c\\plain d\\par }", c));
    EXPECT_EQ(c.text, "abcd");
    ASSERT_EQ(c.colors.size(), 2u);
    EXPECT_FALSE(c.colors[0].isValid());
    EXPECT_EQ(c.colors[1], QColor(1, 2, 3));
    ASSERT_EQ(c.runs.size(), 4u);
    EXPECT_TRUE(c.runs[1].bold);
    EXPECT_EQ(c.runs[2].color, 1);
    EXPECT_EQ(c.runs[3].color, 0);
}

TEST(FindAndColorText, HitLinesColoursAndPlacesByCharacter)
{
    View v;
    // Line 12 holds the word at column 5; line 13 has it after Japanese text, twice, adjacent.
    v.edit.setText(lines(11) + "abc KEY\r\n" + kNihongo + "KEYKEY" + kHyo + "\r\nend");
    EXPECT_EQ(FindAndColorText(&v.edit, " KEY ", &v.list, 0), 3);
    EXPECT_EQ(items(v.list), (std::vector<std::string>{"  12/05", "  13/04", "  13/07"}));

    const int line13 = v.edit.lineIndex(12);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(v.edit.colorAt(line13 + i), kBlack) << "Japanese before the hit stays black";
    for (int i = 3; i < 9; ++i) {
        EXPECT_EQ(v.edit.colorAt(line13 + i), kRed) << i;
        EXPECT_TRUE(v.edit.boldAt(line13 + i)) << i;
    }
    EXPECT_EQ(v.edit.colorAt(line13 + 9), kBlack);
    EXPECT_EQ(v.edit.selStart(), v.edit.lineIndex(11) + 4) << "caret on the first hit";
    EXPECT_EQ(v.edit.selLength(), 0);

    // A second word adds its hits in its own colour; the first word keeps its colour.
    EXPECT_EQ(FindAndColorText(&v.edit, "end", &v.list, 2), 1);
    EXPECT_EQ(items(v.list).size(), 4u);
    EXPECT_EQ(items(v.list).back(), "  14/01");
    EXPECT_EQ(v.edit.colorAt(v.edit.lineIndex(13)), kTeal);
    EXPECT_EQ(v.edit.colorAt(line13 + 3), kRed);

    // A new search (Mode 0) starts over.
    EXPECT_EQ(FindAndColorText(&v.edit, "abc", &v.list, 0), 1);
    EXPECT_EQ(items(v.list), (std::vector<std::string>{"  12/01"}));
    EXPECT_EQ(v.edit.colorAt(line13 + 3), kBlack);
    EXPECT_FALSE(v.edit.boldAt(line13 + 3));
}

TEST(FindAndColorText, SearchCases)
{
    struct Case {
        const char* name;
        std::string text, word;
        int result;
        std::vector<std::string> list;
    };
    const std::vector<Case> cases = {
        {"adjacent hits all count", "ababab", "ab", 3, {"   1/01", "   1/03", "   1/05"}},
        {"overlapping candidates resume after the hit", "aaaa", "aa", 2, {"   1/01", "   1/03"}},
        {"no hit on the trail byte of a double-byte character", kHyo + "\\" + kSo, "\\", 1, {"   1/02"}},
        {"a katakana whose trail byte is a letter is no letter", "\x83\x41" "A", "A", 1, {"   1/02"}},
        {"word of blanks only", "abc", "   ", 0, {}},
        {"no hit", "abc", "x", 0, {}},
        {"empty word", "abc", "", -1, {"old"}},
        {"empty control", "", "a", -2, {"old"}},
    };
    for (const Case& c : cases) {
        View v;
        v.list.addItem(QStringLiteral("old"));
        v.edit.setText(c.text);
        EXPECT_EQ(FindAndColorText(&v.edit, c.word, &v.list, 0), c.result) << c.name;
        EXPECT_EQ(items(v.list), c.list) << c.name;
    }
}

TEST(FindAndColorText, FirstHitLineComesToTheTop)
{
    View v;
    v.edit.setText(lines(80) + "needle\r\n" + lines(80));
    EXPECT_EQ(FindAndColorText(&v.edit, "needle", &v.list, 0), 1);
    EXPECT_EQ(v.edit.firstVisibleLine(), 80);
    EXPECT_EQ(v.edit.selStart(), v.edit.lineIndex(80));

    GotoLineColumn(&v.edit, 3, 2);
    EXPECT_EQ(v.edit.selStart(), v.edit.lineIndex(3) + 2);
    ScrollLineToTop(&v.edit, 41);
    EXPECT_EQ(v.edit.firstVisibleLine(), 40);

    // Wrapped lines take several display lines; scrolling still goes by text line.
    v.edit.setLineWrapMode(QPlainTextEdit::WidgetWidth);
    v.edit.setText(lines(120, std::string(300, 'w') + " "));
    QApplication::processEvents();
    ScrollLineToTop(&v.edit, 31);
    EXPECT_EQ(v.edit.firstVisibleLine(), 30);
    ScrollLineToTop(&v.edit, 3);
    EXPECT_EQ(v.edit.firstVisibleLine(), 2);
}

TEST(ColorHTMLRichEdit, SameTextColouredWithViewCaretAndHandlerKept)
{
    View v;
    const std::string html = lines(300, "<p class=\"c\">" + kHyo + "{x}\\ ") + "<!-- end -->";
    v.edit.setText(html);
    int changes = 0;
    v.edit.setOnChange([&] { ++changes; });
    v.edit.setFirstVisibleLine(120);
    v.edit.setSelStart(5000);
    v.edit.setSelLength(3);
    ASSERT_EQ(v.edit.firstVisibleLine(), 120);

    ColorHTMLRichEdit(&v.edit);

    EXPECT_EQ(changes, 0);
    EXPECT_EQ(v.edit.text(), html);
    EXPECT_EQ(v.edit.firstVisibleLine(), 120);
    EXPECT_EQ(v.edit.selStart(), 5000);
    EXPECT_EQ(v.edit.selLength(), 0);
    EXPECT_TRUE(v.edit.plainTextMode());
    EXPECT_EQ(v.edit.colorAt(0), kFuchsia); // "<"
    EXPECT_EQ(v.edit.colorAt(1), kRed);     // p
    EXPECT_EQ(v.edit.colorAt(3), kRed);     // class, an attribute name
    EXPECT_EQ(v.edit.colorAt(9), QColor(0, 128, 0)); // the quoted value
    v.edit.setSelStart(0);
    v.edit.insertPlainText(QStringLiteral("x"));
    EXPECT_EQ(changes, 1) << "the handler is attached again";

    TRichEdit empty;
    empty.setOnChange([&] { ++changes; });
    ColorHTMLRichEdit(&empty);
    EXPECT_FALSE(empty.plainTextMode());
    EXPECT_EQ(changes, 1);
}

TEST(ColorHTMLRichEdit, AHiddenViewIsColouredWhenShownUnlessItsTextChangedMeanwhile)
{
    const std::string html = lines(20, "<p class=\"c\">");
    QWidget page;
    auto* edit = new TRichEdit(&page);
    edit->setText(html);
    ColorHTMLRichEditWhenShown(edit);
    EXPECT_EQ(edit->colorAt(0), QColor(Qt::black)) << "nobody looks: not coloured yet";
    page.show();
    EXPECT_EQ(edit->colorAt(0), kFuchsia);
    EXPECT_EQ(edit->text(), html);

    // Replaced before it is shown again: the new text is left as it is.
    page.hide();
    edit->setText(html);
    ColorHTMLRichEditWhenShown(edit);
    edit->setText("<b>plain</b>");
    page.show();
    EXPECT_EQ(edit->colorAt(0), QColor(Qt::black));

    // On screen: coloured at once.
    edit->setText(html);
    ColorHTMLRichEditWhenShown(edit);
    EXPECT_EQ(edit->colorAt(0), kFuchsia);
}

TEST(PlainRichEdit, ColouredTextTurnsBlackAndPlainWithTheCaretAtTheStart)
{
    View v;
    const std::string html = lines(40, "<b class=\"c\">" + kHyo + "</b>");
    v.edit.setText(html);
    ColorHTMLRichEdit(&v.edit);
    v.edit.setSelStart(200);
    ASSERT_EQ(v.edit.colorAt(0), kFuchsia);

    PlainRichEdit(&v.edit);

    EXPECT_EQ(v.edit.text(), html);
    EXPECT_EQ(v.edit.selStart(), 0);
    EXPECT_EQ(v.edit.selLength(), 0);
    for (int i = 0; i < 300; i += 7) {
        EXPECT_EQ(v.edit.colorAt(i), QColor(Qt::black)) << i;
        EXPECT_FALSE(v.edit.boldAt(i)) << i;
    }
    v.edit.insertPlainText(QStringLiteral("y"));
    EXPECT_EQ(v.edit.colorAt(0), QColor(Qt::black)) << "typed text is plain too";
}

namespace {

// How many pixels of the view come close to colour c (glyph strokes of that colour).
int pixelsOf(TRichEdit& edit, const QColor& c)
{
    const QImage img = edit.viewport()->grab().toImage();
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor p = img.pixelColor(x, y);
            if (std::abs(p.red() - c.red()) < 40 && std::abs(p.green() - c.green()) < 40 &&
                std::abs(p.blue() - c.blue()) < 40)
                ++n;
        }
    return n;
}

} // namespace

// The loaded colours are drawn, answer colorAt, give way to attributes set on top, and an
// edit never leaves them on characters they did not belong to.
TEST(ColorHTMLRichEdit, ColoursShowAndGiveWayToKeywordsAndEdits)
{
    View v;
    v.edit.setText(lines(5, "<p class=\"c\">x ") + "end");
    ColorHTMLRichEdit(&v.edit);
    EXPECT_GT(pixelsOf(v.edit, kFuchsia), 0);
    EXPECT_GT(pixelsOf(v.edit, kRed), 0);

    // A keyword coloured on top (Mode 1 adds): its characters take its colour and bold, the
    // rest of the line keeps the page's colours.
    EXPECT_EQ(FindAndColorText(&v.edit, "class", &v.list, 1), 5);
    const int line2 = v.edit.lineIndex(1);
    EXPECT_EQ(v.edit.colorAt(line2 + 3), kFuchsia);
    EXPECT_TRUE(v.edit.boldAt(line2 + 3));
    EXPECT_EQ(v.edit.colorAt(line2), kFuchsia) << "<";
    EXPECT_EQ(v.edit.colorAt(line2 + 1), kRed) << "p";
    EXPECT_FALSE(v.edit.boldAt(line2 + 1));
    EXPECT_EQ(v.edit.colorAt(line2 + 9), QColor(0, 128, 0)) << "the quoted value";

    // Typing over one character drops its colour only; an insert drops the colours of its
    // line only; so does joining two lines.
    QTextCursor c(v.edit.document());
    c.setPosition(line2 + 1);
    c.setPosition(line2 + 2, QTextCursor::KeepAnchor);
    c.insertText(QStringLiteral("q"));
    EXPECT_EQ(v.edit.colorAt(line2 + 1), kBlack);
    EXPECT_EQ(v.edit.colorAt(line2), kFuchsia);
    EXPECT_EQ(v.edit.colorAt(line2 + 9), QColor(0, 128, 0));
    c.setPosition(line2);
    c.insertText(QStringLiteral("zz"));
    for (int i : {0, 2, 3, 11})
        EXPECT_EQ(v.edit.colorAt(line2 + i), kBlack) << i;
    EXPECT_EQ(v.edit.colorAt(0), kFuchsia) << "the line above keeps its colours";
    EXPECT_EQ(v.edit.colorAt(v.edit.lineIndex(2) + 1), kRed) << "the line below too";
    c.setPosition(v.edit.lineIndex(3) - 1);
    c.deleteChar();
    EXPECT_EQ(v.edit.colorAt(v.edit.lineIndex(2) + 1), kBlack);
    EXPECT_EQ(v.edit.colorAt(v.edit.lineIndex(3) + 1), kRed);

    // A new search (Mode 0) makes everything black, on screen as well.
    EXPECT_EQ(FindAndColorText(&v.edit, "end", &v.list, 0), 1);
    EXPECT_EQ(v.edit.colorAt(0), kBlack);
    EXPECT_EQ(pixelsOf(v.edit, kFuchsia), 0);
    EXPECT_GT(pixelsOf(v.edit, kRed), 0) << "the hit";

    // Loading plain text over a coloured page leaves no colour behind.
    ColorHTMLRichEdit(&v.edit);
    ASSERT_EQ(v.edit.colorAt(0), kFuchsia);
    v.edit.setText("plain\r\ntext");
    EXPECT_EQ(v.edit.colorAt(0), kBlack);
    EXPECT_EQ(pixelsOf(v.edit, kFuchsia), 0);
}

namespace {

// Runs SelectFolder and lets act answer the dialog once it is up. The poll only looks for
// the dialog; the bound just stops a broken run from hanging.
std::string pickFolder(const QString& caption, const std::string& start, const std::function<void(QFileDialog*)>& act,
                       QString* seenTitle = nullptr)
{
    QTimer poll;
    QElapsedTimer bound;
    bound.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            poll.stop();
            if (seenTitle)
                *seenTitle = d->windowTitle();
            act(d);
        } else if (bound.elapsed() > 20000) {
            poll.stop();
            if (QWidget* w = QApplication::activeModalWidget())
                w->close();
        }
    });
    poll.start(10);
    return SelectFolder(caption, start);
}

} // namespace

TEST(SelectFolder, CancelGivesEmptyChoiceGivesPath)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const std::string start = tmp.path().toStdString();
    QString title;
    EXPECT_EQ(pickFolder(QString::fromUtf8(kSelectFolderCaption), start, [](QFileDialog* d) { d->reject(); }, &title),
              "");
    EXPECT_EQ(title, QString::fromUtf8("フォルダの指定"));

    ASSERT_TRUE(QDir(tmp.path()).mkdir(QStringLiteral("sub")));
    const QString sub = tmp.path() + QStringLiteral("/sub");
    EXPECT_EQ(pickFolder(QStringLiteral("t"), start,
                         [&](QFileDialog* d) {
                             d->setDirectory(sub);
                             QMetaObject::invokeMethod(d, "accept");
                         }),
              sub.toStdString());

    // A folder whose name Shift_JIS cannot hold is no usable answer, and unlike a cancel the
    // user is told so, with the folder named.
    const QString odd = tmp.path() + QString::fromUtf8("/a😀");
    ASSERT_TRUE(QDir().mkdir(odd));
    QString told;
    EXPECT_EQ(pickFolder(QStringLiteral("t"), start,
                         [&](QFileDialog* d) {
                             // The message comes up once the dialog has closed.
                             auto* watch = new QTimer(qApp);
                             auto* bound = new QElapsedTimer;
                             bound->start();
                             QObject::connect(watch, &QTimer::timeout, [watch, bound, &told] {
                                 auto* m = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                                 if (m)
                                     told = m->text();
                                 if (m || bound->elapsed() > 20000) {
                                     if (QWidget* w = QApplication::activeModalWidget())
                                         w->close();
                                     watch->stop();
                                     watch->deleteLater();
                                     delete bound;
                                 }
                             });
                             watch->start(10);
                             d->setDirectory(odd);
                             QMetaObject::invokeMethod(d, "accept");
                         }),
              "");
    EXPECT_EQ(told, UnnamableFolderText(odd));
}
