// Paths between Qt's strings and the set's lossless form (FromNativePath):
// they reach the file system as the bytes Qt would use for them.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <string>

#include "platform/Files.h"
#include "textureset/TextureSet.h"

namespace marrowix {

// A path as the core and the file system take it, and back.
inline std::string NativeOfQt(const QString& path) {
    return (platform::kUtf8Paths ? path.toUtf8() : QFile::encodeName(path)).toStdString();
}
inline QString QtOfNative(const std::string& path) {
    const QByteArray bytes = QByteArray::fromStdString(path);
    return platform::kUtf8Paths ? QString::fromUtf8(bytes) : QFile::decodeName(bytes);
}

// Qt's dialogs and drops give '/' on Windows too: the set's paths, shown
// and named in messages, are in the system's own separators.
inline std::u16string PathToU16(const QString& path) {
    return FromNativePath(NativeOfQt(QDir::toNativeSeparators(path)));
}

// For showing: bytes that are not UTF-8 become replacement characters.
inline QString PathFromU16(const std::u16string& path) {
    return QtOfNative(ToNativePath(path));
}

}  // namespace marrowix
