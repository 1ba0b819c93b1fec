#pragma once
// The table of contents of a help file: the sitemap (.hhc) that the help compiler stores beside the
// pages, read into a tree of named topics.

#include <QString>
#include <vector>

namespace tabvert::htmlhelp {

struct ContentsEntry {
    QString name;
    QString local;  // the page inside the help file, as written ("opening.html"); may be empty
    std::vector<ContentsEntry> children;
};

// Reads the entries of a sitemap: each <object type="text/sitemap"> with its "Name" and "Local"
// parameters, nested by the <ul> lists around them. Markup it does not know is skipped.
std::vector<ContentsEntry> ParseContents(const QString& sitemap);

}  // namespace tabvert::htmlhelp
