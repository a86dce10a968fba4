// Where an installer keeps its package among the executable's resources: the
// ids the installer reads and the packer and the build's template pair write.
#pragma once

#include <QString>
#include <QtGlobal>

namespace PACKAGE_RESOURCES {

// The digest text of the template pair: it means "no package of my own".
inline constexpr char kNoPackageMarker[] = "5d55615c782d659868ef938cda4e5354";

inline constexpr quint32 kPackageId = 131;          // the package file
inline constexpr quint32 kDigestId = 132;           // lower-case MD5 text of it
inline constexpr quint16 kAttachedLanguage = 0;     // added by norvex-pack attach
inline constexpr quint16 kTemplateLanguage = 2052;  // compiled into every build

inline QString ResourceType()
{
    return QStringLiteral("RT_INSTALL");
}

}  // namespace PACKAGE_RESOURCES
