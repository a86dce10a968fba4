// The unattended run ("silent" switch): the job of the run mode without a
// window, with the answers a user who accepts every default would give.
#pragma once

#include "app/MessageBox.h"
#include "engine/InstallEngine.h"

#include <QString>

#include <cstdio>

class CUnattendedRun {
public:
    // Exit codes of an unattended run.
    static constexpr int kSuccess = 0;
    static constexpr int kFailure = 1;
    static constexpr int kStartupFailure = 2;

    // Progress lines go to out; messages to the message box (the console one
    // writes them to standard error and answers questions with No).
    CUnattendedRun(CInstallEngine& engine, CMessageBox& messageBox, std::FILE* out = stdout);

    // Runs after start-up has loaded the manifest and looked for a previous
    // installation. Install, upgrade and repair run their procedure and then
    // create the desktop and Quick Launch links; the removal modes run the
    // removal (user data kept). pathArgument, when not empty, is the install
    // folder of a first installation. No fixed pauses. Returns kSuccess or
    // kFailure.
    int Run(const QString& pathArgument);

private:
    CInstallEngine& m_engine;
    CMessageBox& m_messageBox;
    std::FILE* m_out;
};
