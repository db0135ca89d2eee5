// Paths between Qt's strings and the set's lossless form (FromNativePath):
// they reach the file system as the bytes Qt would use for them.
#pragma once

#include <QFile>
#include <QString>
#include <string>

#include "textureset/TextureSet.h"

namespace marrowix {

inline std::u16string PathToU16(const QString& path) {
    return FromNativePath(QFile::encodeName(path).toStdString());
}

// For showing: bytes that are not UTF-8 become replacement characters.
inline QString PathFromU16(const std::u16string& path) {
    return QFile::decodeName(QByteArray::fromStdString(ToNativePath(path)));
}

}  // namespace marrowix
