// Attaches a package to the template as the packer would, but without the
// packer's checks, for tests of packages the packer itself refuses.
#pragma once

#include "common/MD5Encode.h"
#include "database/PackageResources.h"
#include "platform/ExecutableResources.h"

#include <QString>

#include <vector>

namespace TESTS {

inline bool AttachDirectly(const QString& templatePath, const QString& package, const QString& output,
                           QString* error)
{
    std::vector<PLATFORM::ResourceSource> resources(2);
    resources[0] = {PACKAGE_RESOURCES::ResourceType(), PACKAGE_RESOURCES::kPackageId, 0, {}, package};
    resources[1] = {PACKAGE_RESOURCES::ResourceType(),
                    PACKAGE_RESOURCES::kDigestId,
                    0,
                    GetMD5OfFile(package).toLower().toLatin1(),
                    {}};
    return PLATFORM::CExecutableResources::Attach(templatePath, resources, output, error);
}

}  // namespace TESTS
