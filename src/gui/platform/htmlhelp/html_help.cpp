// HtmlHelpA: opens a topic of a .chm file in the calling window's help window.
#include "gui/platform/htmlhelp/html_help.h"

#include <QWidget>

#include "gui/platform/htmlhelp/help_window.h"

namespace tabvert::htmlhelp {

namespace {

struct HelpRequest {
    QByteArray file;
    QString topic;  // empty: the default topic
};

// "file.chm", "file.chm::/topic.html" or either with a ">window" name after it, which is dropped: the
// program's help window is the only window type there is.
HelpRequest SplitRequest(const QByteArray& request, win32::DWORD_PTR dwData) {
    HelpRequest split;
    const qsizetype separator = request.indexOf("::");
    split.file = separator < 0 ? request : request.left(separator);
    QByteArray topic = separator < 0 ? QByteArray() : request.mid(separator + 2);
    if (topic.isEmpty() && dwData != 0) topic = QByteArray(reinterpret_cast<const char*>(dwData));
    if (const qsizetype window = topic.indexOf('>'); window >= 0) topic.truncate(window);
    if (const qsizetype window = split.file.toLower().indexOf(".chm>"); window >= 0)
        split.file.truncate(window + 4);
    split.topic = QString::fromLocal8Bit(topic);
    return split;
}

}  // namespace

win32::HWND HtmlHelpA(win32::HWND hwndCaller, const char* pszFile, win32::UINT uCommand,
                      win32::DWORD_PTR dwData) {
    if (uCommand != HH_DISPLAY_TOPIC || pszFile == nullptr) return nullptr;
    const HelpRequest request = SplitRequest(QByteArray(pszFile), dwData);

    HelpWindow* window = nullptr;
    if (hwndCaller) {
        for (auto* open : hwndCaller->findChildren<HelpWindow*>(Qt::FindDirectChildrenOnly)) {
            if (open->NativePath() == request.file) window = open;
        }
    }
    const bool fresh = window == nullptr;
    if (fresh) {
        auto file = ChmFile::Open(request.file);
        if (!file) return nullptr;
        window = new HelpWindow(std::move(*file), request.file, hwndCaller);
    }
    const QString topic = request.topic.isEmpty() ? window->DefaultTopic() : request.topic;
    if (!window->ShowTopic(topic)) {
        // A file without the page asked for: a new window would show nothing, so none is opened;
        // an open one keeps its page.
        if (fresh) delete window;
        return fresh ? nullptr : window;
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace tabvert::htmlhelp
