// Placeholder for the install manifest model; replaced by the manifest module.
#pragma once

class CInstallInfo {
public:
    CInstallInfo() = default;
    virtual ~CInstallInfo() = default;
};
