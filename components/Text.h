#pragma once
// The one place where text crosses between the core (UTF-8 std::string) and
// the GUI (QString): every Qt layer includes it, none converts on its own.

#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

namespace components {

inline QString ToQ(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string ToStd(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A file of this machine, as Qt's dialogs name it and as they take it.
inline std::filesystem::path ToPath(const QString& file) { return std::filesystem::path(file.toStdU16String()); }

inline QString PathToQ(const std::filesystem::path& file) { return QString::fromStdU16String(file.u16string()); }

} // namespace components
