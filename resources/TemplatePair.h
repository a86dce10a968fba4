// The template pair compiled into every installer: an empty package and the
// marker digest text that means "this executable carries no package".
// Generated at build time by MakeTemplatePair.
#pragma once

#include <cstddef>

extern const unsigned char kTemplatePackage[];
extern const std::size_t kTemplatePackageSize;
extern const char kTemplateDigest[];
extern const std::size_t kTemplateDigestSize;
