// Reading a help file's sitemap (.hhc) into a tree of named topics.
#include "gui/platform/htmlhelp/contents.h"

#include <QRegularExpression>
#include <optional>

namespace tabvert::htmlhelp {

namespace {

// The value of attribute `name` in the tag text, quoted or not; empty when absent.
QString Attribute(const QString& tag, const QString& name) {
    const QRegularExpression re(
        QStringLiteral("\\b%1\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))").arg(name),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = re.match(tag);
    if (!match.hasMatch()) return {};
    for (int group = 1; group <= 3; ++group) {
        if (match.capturedLength(group) > 0) return match.captured(group);
    }
    return {};
}

QString Unescape(QString text) {
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&#39;"), QLatin1String("'"));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}

}  // namespace

std::vector<ContentsEntry> ParseContents(const QString& sitemap) {
    std::vector<ContentsEntry> top;
    // The list the next entry goes into: top, or the children of an entry whose <ul> is open. The
    // stack holds, per open <ul>, the list that was current before it.
    std::vector<std::vector<ContentsEntry>*> open;
    std::vector<ContentsEntry>* current = &top;
    std::optional<ContentsEntry> pending;  // inside <object type="text/sitemap">

    static const QRegularExpression tagPattern(QStringLiteral("<\\s*(/?)\\s*([a-zA-Z]+)([^>]*)>"));
    for (auto it = tagPattern.globalMatch(sitemap); it.hasNext();) {
        const auto tag = it.next();
        const bool closing = !tag.captured(1).isEmpty();
        const QString name = tag.captured(2).toLower();
        const QString rest = tag.captured(3);
        if (name == QLatin1String("ul")) {
            if (!closing) {
                // A nested list holds the children of the entry just before it; the outermost list
                // (or one with no entry before it) keeps filling the current level. The stack only
                // ever holds ancestors of `current`, so growing `current` moves nothing it points to.
                const bool nested = !open.empty() && !current->empty();
                open.push_back(current);
                if (nested) current = &current->back().children;
            } else if (!open.empty()) {
                current = open.back();
                open.pop_back();
            }
        } else if (name == QLatin1String("object")) {
            if (!closing && Attribute(rest, QStringLiteral("type"))
                                    .compare(QLatin1String("text/sitemap"), Qt::CaseInsensitive) == 0) {
                pending = ContentsEntry{};
            } else if (closing && pending) {
                if (!pending->name.isEmpty() || !pending->local.isEmpty())
                    current->push_back(std::move(*pending));
                pending.reset();
            }
        } else if (name == QLatin1String("param") && pending) {
            const QString param = Attribute(rest, QStringLiteral("name"));
            const QString value = Unescape(Attribute(rest, QStringLiteral("value")));
            if (param.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0 && pending->name.isEmpty())
                pending->name = value;
            else if (param.compare(QLatin1String("Local"), Qt::CaseInsensitive) == 0)
                pending->local = value;
        }
    }
    return top;
}

}  // namespace tabvert::htmlhelp
