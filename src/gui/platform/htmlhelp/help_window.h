#pragma once
// The help window: the table of contents of a .chm file beside a browser that reads the file's pages,
// style sheets and pictures straight out of it.

#include <QTextBrowser>
#include <QWidget>

#include "gui/platform/htmlhelp/chm_file.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace tabvert::htmlhelp {

// Pages are addressed as "ms-its:/page.html", so that links inside the file resolve against the page
// that holds them and never against the local file system.
QUrl TopicUrl(const QString& insidePath);

class HelpBrowser : public QTextBrowser {
    Q_OBJECT
  public:
    HelpBrowser(const ChmFile& file, QWidget* parent);

    QVariant loadResource(int type, const QUrl& name) override;

  private:
    const ChmFile& file_;
    QUrl page_;  // the page last loaded: relative names of its style sheets and pictures resolve here
};

class HelpWindow : public QWidget {
    Q_OBJECT
  public:
    // `owner` may be null; the window is released when it closes.
    HelpWindow(ChmFile file, QByteArray nativePath, QWidget* owner);

    const QByteArray& NativePath() const { return nativePath_; }
    // Shows a page of the file ("/opening.html", fragment allowed); false when the file lacks it.
    bool ShowTopic(const QString& insidePath);
    QString DefaultTopic() const { return file_.DefaultTopic(); }

    HelpBrowser* Browser() const { return browser_; }
    QTreeWidget* Contents() const { return contents_; }

  private:
    void FillContents();
    void OpenContentsItem(QTreeWidgetItem* item);

    ChmFile file_;
    QByteArray nativePath_;
    HelpBrowser* browser_ = nullptr;
    QTreeWidget* contents_ = nullptr;
};

}  // namespace tabvert::htmlhelp
