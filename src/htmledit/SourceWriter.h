// The editing control's HTML writer: a snapshot of the document (taken by the page-side
// script as JSON) becomes a node tree, and the tree is written as clean source under the
// sixteen source options. Plain code over plain data, so every rule is testable headless.
#pragma once
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

namespace htmledit {

enum TProfDHTMLEditSourceCodeOption : unsigned {
    LowercaseElementNames = 1u << 0,
    TerminateEmptyElements = 1u << 1,
    AddSpaceInTerminatedEmptyElements = 1u << 2,
    TerminateComments = 1u << 3,
    LowercaseAttributeNames = 1u << 4,
    QuoteAttributeValues = 1u << 5,
    UnminimizeBooleanAttributes = 1u << 6,
    LowercaseStylePropertyNames = 1u << 7,
    UseEntityReferences = 1u << 8,
    Preserve8BitCharacters = 1u << 9,
    HideBaseElement = 1u << 10,
    ExcludeFileProtocol = 1u << 11,
    ExcludeBaseURL = 1u << 12,
    UseBackSlashAsPathDelimiter = 1u << 13,
    IndentSource = 1u << 14,
    AddNbsp = 1u << 15,
};
constexpr unsigned kAllSourceOptions = 0xFFFF;
// What the program's editors use: all but HideBaseElement and UseBackSlashAsPathDelimiter.
constexpr unsigned kEditorSourceOptions = 0xDBFF;

struct DomAttr {
    QString name, value;
    QString absolute;  // for URL attributes: the engine's resolved URL (or the value)
};

struct DomNode {
    enum Type { Element = 1, Text = 3, Comment = 8, Doctype = 10 };
    int type = Element;
    QString name;  // element: tag name as the engine reports it
    QString data;  // text, comment data, doctype text
    QVector<DomAttr> attrs;
    QVector<DomNode> children;
};

struct DomSnapshot {
    QVector<DomNode> roots;  // document children: doctype, comments, the html element
    QString url, title;
    QStringList baseHrefs;   // href of every BASE element, resolved
    int htmlCount = 0, headCount = 0, bodyCount = 0;
    bool valid = false;
};

// Parses the page-side script's snapshot, JSON or its length-prefixed whole-document form (a
// text beginning "S"); an unreadable text gives valid = false.
DomSnapshot ParseSnapshot(const QString &Json);
// Parses one node written in the same form (the selection writer's detached span).
bool ParseSnapshotNode(const QString &Json, DomNode &Node);

struct TagSubstitution {
    QString OriginalTag, ReplacementTag;
};

// What the writer needs of the document besides the node.
struct WriterContext {
    unsigned options = kAllSourceOptions;
    QString documentFile;  // the document's own file ("/..." path), or empty
    QString documentUrl;   // the document's URL when it has no file
    QString baseHref;      // href of the one BASE element, "" when none
    // A site prefix such as "http://host" taken off the start of URL attribute values
    // (the leading "/" of the path stays); empty for none.
    QString stripPrefix;
    QVector<TagSubstitution> substitutions;
};

// One node and, recursively, its content.
QString GenerateSourceCode(const DomNode &Node, int Level, const WriterContext &Ctx);
// Text node data with line ends as CR LF and characters as entity references.
QString EscapeText(const QString &Text, unsigned Options);
bool IsUrlAttribute(const QString &Tag, const QString &Name);
// The URL conversion under the URL options. Value is the value as written, Absolute the
// engine's resolution of it.
QString ConvertUrlAttribute(const QString &Tag, const QString &Value, const QString &Absolute,
                            const WriterContext &Ctx);

// The whole document: prologue (doctype, leading comments) and the html element; "ERROR"
// unless there is exactly one html, head and body.
QString GenerateSource(const DomSnapshot &Doc, const WriterContext &Ctx, const QString &DOCTYPE);
// The single head or body element; "ERROR" when it is not exactly one.
QString GenerateElementSource(const DomSnapshot &Doc, const QString &Tag, const WriterContext &Ctx);
const DomNode *FindElement(const DomSnapshot &Doc, const QString &Tag);

// Repairs the source getters apply.
void RestoreHeadScripts(QString &Source, const QString &DocumentHtml);
void RestoreTitle(QString &Source, const QString &Title);
void UnescapeHrefAmpersands(QString &Source);
// Every line end as CR LF.
QString NormalizeLineEnds(const QString &S);

QString UrlToPath(const QString &Url, bool KeepBackslashes);
QString PathToUrl(const QString &Path);
// Target relative to the folder of Base, when both are local or share scheme and host;
// Target unchanged otherwise.
QString MakeRelativeUrl(const QString &Target, const QString &Base, bool AsUrl, bool KeepBackslashes);

} // namespace htmledit
