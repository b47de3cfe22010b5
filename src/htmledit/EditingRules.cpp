#include "htmledit/EditingRules.h"
#include <algorithm>

namespace htmledit {

KeyClass ClassOfKey(int Key)
{
    switch (Key) {
    case 13: return KeyClass::Enter;
    case 46: return KeyClass::Delete;
    case 8: return KeyClass::Backspace;
    case 88: return KeyClass::X;
    case 16:
    case 17:
    case 18: return KeyClass::Modifier;
    default: return KeyClass::Other;
    }
}

KeyAction DecideKeyRule(KeyClass Class, const KeyContext &C, const KeyRuleFlags &F)
{
    if (F.BrowseMode) return KeyAction::Default;
    const bool plain = !C.Shift && !C.Ctrl && !C.Alt;
    if (F.UseDiv && !F.UseBr) {
        if (Class == KeyClass::Modifier) return KeyAction::Default;
        if ((Class == KeyClass::Enter && plain) || C.WholeDocument) return KeyAction::DivSnapshot;
        return KeyAction::Default;
    }
    if (!F.UseBr) return KeyAction::Default;
    switch (Class) {
    case KeyClass::Enter:
        if (!plain) return KeyAction::Default;
        if (C.InList) return KeyAction::Cleanup;
        return C.DefaultFormat ? KeyAction::LineBreak : KeyAction::AppendBlank;
    case KeyClass::Modifier: return KeyAction::Default;
    case KeyClass::Char: return C.WholeDocument ? KeyAction::Cleanup : KeyAction::Default;
    default: break;
    }
    if (!C.WholeDocument) return KeyAction::Default;
    if (Class == KeyClass::Delete && !C.Shift && !C.Alt) return KeyAction::Cleanup;       // delete
    if (Class == KeyClass::Backspace && !C.Alt && !C.Ctrl) return KeyAction::Cleanup;     // delete
    if (Class == KeyClass::Delete && C.Shift) return KeyAction::Cleanup;                  // cut
    if (Class == KeyClass::X && C.Ctrl) return KeyAction::Cleanup;                        // cut
    return KeyAction::Default;
}

int KeyRuleIndex(KeyClass Class, const KeyContext &C)
{
    const int bits = (C.Shift ? 1 : 0) | (C.Ctrl ? 2 : 0) | (C.Alt ? 4 : 0) | (C.InList ? 8 : 0) |
                     (C.DefaultFormat ? 16 : 0) | (C.WholeDocument ? 32 : 0);
    return int(Class) * 64 + bits;
}

QString KeyRuleTable(const KeyRuleFlags &Flags)
{
    QString t(kKeyClassCount * 64, QLatin1Char('0'));
    for (int c = 0; c < kKeyClassCount; ++c) {
        for (int bits = 0; bits < 64; ++bits) {
            KeyContext k;
            k.Shift = bits & 1;
            k.Ctrl = bits & 2;
            k.Alt = bits & 4;
            k.InList = bits & 8;
            k.DefaultFormat = bits & 16;
            k.WholeDocument = bits & 32;
            t[c * 64 + bits] = QLatin1Char(char(DecideKeyRule(KeyClass(c), k, Flags)));
        }
    }
    return t;
}

bool IsPasteAsTextKey(int Key, bool Shift, bool Ctrl, bool Alt)
{
    if (Key == 'V') return Ctrl && !Shift && !Alt;
    if (Key == 45) return Shift && !Ctrl && !Alt;
    return false;
}

QString ConvertNewParagraphsToDiv(const QString &Old, const QString &New)
{
    if (New == Old || !New.contains(QLatin1String("</p>"))) return New;
    const int lo = Old.size(), ln = New.size();
    // s: length of the common start; the change begins at a tag's "<" when it cut one.
    int s = 0;
    while (s < lo && s < ln && Old[s] == New[s]) ++s;
    if (s > 0 && Old[s - 1] == QLatin1Char('<')) --s;
    // e: length of the common end, and it gives back a tag's ">".
    int e = 0;
    if (s + 1 < lo) {
        while (e < lo && e < ln && Old[lo - 1 - e] == New[ln - 1 - e]) ++e;
        if (e > 0 && Old[lo - e] == QLatin1Char('>')) --e;
    }
    // The common end may not reach back into the common start: in a repeated run ("</p>" before
    // and after the new block) that would cut the new block's own end tag off.
    e = std::min(e, std::min(lo, ln) - s);
    int a = s, z = ln - e;
    // Whole paragraphs only: a renamed end tag whose start lies before the region (or a start
    // whose end lies after it) would leave a P closed by a DIV end tag, which the parser turns
    // into a stray empty P and a DIV that swallows the rest of the body.
    const auto isOpen = [&New](int i) { return New.mid(i, 3) == QLatin1String("<p>") || New.mid(i, 3) == QLatin1String("<p "); };
    int depth = 0, lowest = 0;
    for (int i = a; i < z; ++i) {
        if (New[i] != QLatin1Char('<')) continue;
        if (isOpen(i)) ++depth;
        else if (New.mid(i, 4) == QLatin1String("</p>")) lowest = std::min(lowest, --depth);
    }
    for (int n = -lowest; n > 0; --n) {
        int i = a - 1;
        while (i >= 0 && !isOpen(i)) --i;
        if (i < 0) return New;
        a = i;
    }
    for (int n = depth - lowest; n > 0; --n) {
        const int i = New.indexOf(QLatin1String("</p>"), z);
        if (i < 0) return New;
        z = i + 4;
    }
    const QString middle = New.mid(a, z - a);
    QString conv = middle;
    conv.replace(QLatin1String("<p>"), QLatin1String("<div>"));
    conv.replace(QLatin1String("<p "), QLatin1String("<div "));
    conv.replace(QLatin1String("</p>"), QLatin1String("</div>"));
    if (conv == middle) return New;
    return New.left(a) + conv + New.mid(z);
}

} // namespace htmledit
