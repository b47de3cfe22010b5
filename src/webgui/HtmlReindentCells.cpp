// The table-cell pass: a long cell line cut at its tags, each cut traced.
#include "webgui/HtmlReindentInternal.h"

#include "text/StrUtils.h"

#include <algorithm>
#include <utility>

using namespace reindent_detail;

namespace {

std::string removeValignDefault(const std::string& s) { return ReplaceAllIgnoreCase(s, " valign=\"default\"", ""); }

} // namespace

int TDinnerIndent(const std::string& Open, const std::string& Close, const std::string& Line,
                  std::vector<std::string>& Lines, int MaxLen, std::vector<std::string>* Trace,
                  const ReindentMarks& Marks)
{
    Lines.clear();
    // one string per trace line: a long cell gives many
    auto tr = [&](const char* label, std::string_view text) {
        if (!Trace)
            return;
        const std::string& lab = sj(label);
        std::string t;
        if (text.find(Marks.br[0]) != std::string_view::npos) {
            t = lab + "\t" + Marks.restore(std::string(text));
        } else {
            t.reserve(lab.size() + 1 + text.size());
            t += lab;
            t += '\t';
            t += text;
        }
        Trace->push_back(std::move(t));
    };
    if (static_cast<long long>(Line.size()) < MaxLen) {
        const std::string W = removeValignDefault(Line);
        const std::size_t a = W.find("<!--");
        if (a != npos && contains(W, "//") && a > 0) {
            Lines.push_back(W.substr(0, a));
            Lines.push_back(W.substr(a));
            tr("◎２", Lines[0]);
            tr("◎３", Lines[1]);
        } else {
            Lines.push_back(W);
            tr("◎１", W);
        }
        return static_cast<int>(Lines.size());
    }
    const std::size_t g1 = Line.find('>');
    if (findTag(Line, Open) == npos || g1 == npos || Line.find('>', g1 + 2) == npos) {
        Lines.push_back(Line);
        return 1;
    }
    const std::string W = protectInlineComments(removeValignDefault(Line), Marks);
    const std::size_t op = findTag(W, Open);
    const std::size_t gt = op == npos ? npos : W.find('>', op);
    if (gt == npos) {
        Lines.push_back(Line);
        return 1;
    }
    const std::string indent = leadingBlanks(W);
    const std::size_t headLen = indent.size() + kJoinClose.size();
    std::vector<std::size_t> cuts{gt + 1};
    tr("〓１", W.substr(0, gt + 1) + kJoinOpen);
    std::size_t p = gt + 1;
    const std::string_view Wv(W);
    auto piece = [&](std::size_t a, std::size_t b) { return Wv.substr(a, b - a); };
    // The trace shows where a rest begins, not all of it: a long line stays linear.
    auto restAt = [&](std::size_t a) { return Wv.substr(a, 80); };
    NextFind closeTag{W, "</"}, closeAt{W, Close}, anyLt{W, "<"}, anyGt{W, ">"};
    if (anyGt.from(p) != npos) {
        for (;;) {
            const std::size_t before = p;
            if (anyLt.from(p) != npos) {
                const std::size_t cl = closeTag.from(p);
                const std::size_t e = cl != npos ? W.find('>', cl) : W.find('>', p + 1);
                if (e != npos) {
                    const std::size_t pe = e + 1;
                    const std::size_t n = W.size() - pe;
                    const std::string_view pc = piece(p, pe);
                    bool cutBeforeImg = false;
                    if (n <= 10) {
                        const std::size_t img = pc.find("<img ");
                        const std::size_t a = pc.find("<a ");
                        if (img != npos && img > 0) {
                            cuts.push_back(p + img);
                            cuts.push_back(pe);
                            tr("☆１", pc.substr(0, img));
                            tr("☆２", pc.substr(img));
                            p = pe;
                        } else if (a != npos && a > 0) {
                            cuts.push_back(p + a);
                            cuts.push_back(pe);
                            tr("☆４", pc.substr(0, a));
                            tr("☆５", pc.substr(a));
                            p = pe;
                        }
                    } else if (n <= 16) {
                        const std::size_t img = pc.find("<img ");
                        if (img != npos && img > 0) {
                            cuts.push_back(p + img);
                            tr("◆１", pc.substr(0, img));
                            tr("◆２", pc.substr(img));
                        } else {
                            tr("●８", pc);
                        }
                        cuts.push_back(pe);
                        p = pe;
                    } else {
                        const std::size_t img = pc.size() > 10 ? pc.find("<img ", 10) : npos;
                        if (img != npos) {
                            cuts.push_back(p + img);
                            tr("●２", pc.substr(0, img));
                            tr("●３", pc.substr(img));
                            cutBeforeImg = true;
                        } else {
                            const std::size_t g = pc.find('>');
                            cuts.push_back(p + g + 1);
                            tr("●４", pc.substr(0, g + 1));
                            tr("●４", pc.substr(g + 1));
                        }
                        cuts.push_back(pe);
                        p = pe;
                        if (!cutBeforeImg && p < W.size() && W[p] != '<') {
                            const std::size_t lt = W.find('<', p);
                            if (lt != npos) {
                                tr("●８", piece(p, lt));
                                tr("●９", restAt(lt));
                                cuts.push_back(lt);
                                p = lt;
                            }
                        }
                    }
                }
            }
            if (anyLt.from(p) != npos) {
                const std::size_t c = closeAt.from(p);
                if (c == npos || c - p < 15) {
                    if (c != npos && c > p) {
                        cuts.push_back(c);
                        tr("▼６", piece(p, c));
                        tr("▼７", restAt(c));
                    } else if (c == p) {
                        tr("▼８", restAt(p));
                    } else {
                        std::size_t q = p;
                        for (;;) {
                            const std::size_t g = W.find('>', q);
                            if (W.size() - q < 30 || g == npos || g + 1 >= W.size())
                                break;
                            cuts.push_back(g + 1);
                            q = g + 1;
                            if (W.size() - q < 30)
                                tr("▽８", restAt(q));
                            else
                                tr("▽９", restAt(q));
                        }
                        tr("▽１０", restAt(q));
                    }
                    p = W.size();
                    break;
                }
                const std::size_t lt = W.find('<', p);
                const std::size_t g = W.find('>', lt);
                if (g == npos)
                    break;
                if (lt > p)
                    cuts.push_back(lt);
                cuts.push_back(g + 1);
                tr("■８", piece(lt, g + 1));
                p = g + 1;
            }
            if (headLen + (W.size() - p) < static_cast<std::size_t>(std::max(MaxLen, 0))) {
                tr("■９", restAt(p));
                break;
            }
            if (anyGt.from(p) == npos || p == before)
                break;
        }
    }
    writeJoined(piecesFromCuts(W, cuts), indent, Lines);
    return static_cast<int>(Lines.size());
}
