#pragma once
// Read access to a compiled HTML Help file (.chm) through chmlib: the pages and pictures stored in it
// and the project facts the help compiler records (default topic, title, contents file).

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

struct chmFile;

namespace tabvert::htmlhelp {

// What the help compiler recorded in the file's #SYSTEM object. Paths are inside the file and begin
// with "/"; a fact the file does not record is empty.
struct SystemInfo {
    QString defaultTopic;
    QString title;
    QString contentsFile;
};

// Reads the records of a #SYSTEM object (a version word, then code/length/data records). Records that
// run past the end of the data are ignored, so a damaged file yields what precedes the damage.
SystemInfo ParseSystemInfo(const QByteArray& system);

// One open .chm file. Move-only; closing happens with the last owner.
class ChmFile {
  public:
    // Opens the file at `nativePath` (file-system bytes); nullopt when it is missing or no .chm file.
    static std::optional<ChmFile> Open(const QByteArray& nativePath);

    ChmFile(ChmFile&&) noexcept = default;
    ChmFile& operator=(ChmFile&&) noexcept = default;
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;
    ~ChmFile() = default;

    // The object stored under `path` ("/welcome.html"); nullopt when the file holds no such object or
    // it cannot be read whole.
    std::optional<QByteArray> Read(const QString& path) const;

    const SystemInfo& Info() const { return info_; }

    // The page shown when no topic is asked for: the recorded default topic, else the first page of
    // the file; empty when the file holds no page at all.
    QString DefaultTopic() const;

  private:
    struct Closer {
        void operator()(chmFile* file) const;
    };

    explicit ChmFile(std::unique_ptr<chmFile, Closer> file);
    QString FirstPage() const;

    std::unique_ptr<chmFile, Closer> file_;
    SystemInfo info_;
};

}  // namespace tabvert::htmlhelp
