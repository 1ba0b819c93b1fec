// Reading a compiled HTML Help file through chmlib, and the records of its #SYSTEM file.
#include "gui/platform/htmlhelp/chm_file.h"

#include <chm_lib.h>

#include <QtEndian>

namespace tabvert::htmlhelp {

namespace {

// Larger objects are not help pages; refusing them keeps a damaged length from asking for gigabytes.
constexpr LONGUINT64 kLargestObject = 64ull * 1024 * 1024;

// #SYSTEM record codes written by the help compilers.
constexpr quint16 kContentsFileCode = 0;
constexpr quint16 kDefaultTopicCode = 2;
constexpr quint16 kTitleCode = 3;

QString AsInsidePath(QString path) {
    if (!path.isEmpty() && !path.startsWith(QLatin1Char('/'))) path.prepend(QLatin1Char('/'));
    return path;
}

// The text of a record: ANSI text ending at its first NUL byte (the compilers write one, but do not
// rely on it).
QString RecordText(const char* data, qsizetype length) {
    qsizetype end = 0;
    while (end < length && data[end] != '\0') ++end;
    return QString::fromLocal8Bit(data, end);
}

bool IsPage(const QString& path) {
    return path.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".html"), Qt::CaseInsensitive);
}

}  // namespace

SystemInfo ParseSystemInfo(const QByteArray& system) {
    SystemInfo info;
    qsizetype at = 4;  // the version word
    while (at + 4 <= system.size()) {
        const auto* bytes = reinterpret_cast<const uchar*>(system.constData()) + at;
        const quint16 code = qFromLittleEndian<quint16>(bytes);
        const quint16 length = qFromLittleEndian<quint16>(bytes + 2);
        at += 4;
        if (length > system.size() - at) break;
        const QString text = RecordText(system.constData() + at, length);
        switch (code) {
            case kContentsFileCode:
                info.contentsFile = AsInsidePath(text);
                break;
            case kDefaultTopicCode:
                info.defaultTopic = AsInsidePath(text);
                break;
            case kTitleCode:
                info.title = text;
                break;
            default:
                break;
        }
        at += length;
    }
    return info;
}

void ChmFile::Closer::operator()(chmFile* file) const { chm_close(file); }

ChmFile::ChmFile(std::unique_ptr<chmFile, Closer> file) : file_(std::move(file)) {
    if (auto system = Read(QStringLiteral("/#SYSTEM"))) info_ = ParseSystemInfo(*system);
}

std::optional<ChmFile> ChmFile::Open(const QByteArray& nativePath) {
    if (nativePath.isEmpty()) return std::nullopt;
    std::unique_ptr<chmFile, Closer> file(chm_open(nativePath.constData()));
    if (!file) return std::nullopt;
    return ChmFile(std::move(file));
}

std::optional<QByteArray> ChmFile::Read(const QString& path) const {
    const QByteArray inside = AsInsidePath(path).toUtf8();
    chmUnitInfo unit{};
    if (chm_resolve_object(file_.get(), inside.constData(), &unit) != CHM_RESOLVE_SUCCESS)
        return std::nullopt;
    if (unit.length > kLargestObject) return std::nullopt;
    QByteArray data(static_cast<qsizetype>(unit.length), Qt::Uninitialized);
    if (unit.length == 0) return data;
    const LONGINT64 got =
        chm_retrieve_object(file_.get(), &unit, reinterpret_cast<unsigned char*>(data.data()), 0,
                            static_cast<LONGINT64>(unit.length));
    if (got != static_cast<LONGINT64>(unit.length)) return std::nullopt;
    return data;
}

QString ChmFile::DefaultTopic() const {
    if (!info_.defaultTopic.isEmpty()) return info_.defaultTopic;
    return FirstPage();
}

QString ChmFile::FirstPage() const {
    QString found;
    auto visit = [](chmFile*, chmUnitInfo* unit, void* context) -> int {
        const QString path = QString::fromUtf8(unit->path);
        if (!IsPage(path)) return CHM_ENUMERATOR_CONTINUE;
        *static_cast<QString*>(context) = path;
        return CHM_ENUMERATOR_SUCCESS;
    };
    chm_enumerate(file_.get(), CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, visit, &found);
    return found;
}

}  // namespace tabvert::htmlhelp
