// Shared pieces of the engine tests: the sample manifest and package, a
// recorder for the step bar, a recorder for pauses, registry reads through
// the store itself, and desktop-file-validate.
#pragma once

#include "support/CaseName.h"
#include "support/Sandbox.h"

#include "common/Clock.h"
#include "common/PumpMessages.h"
#include "engine/InstallEngine.h"
#include "engine/StepProgress.h"
#include "platform/Registry.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <vector>

namespace ENGINETEST {

// The sample manifest exactly as the package carries it.
inline CInstallInfo SampleManifest()
{
    CInstallInfo manifest;
    EXPECT_TRUE(manifest.Load(TESTS::FixturePath(QStringLiteral("sample/Install.xml"))));
    return manifest;
}

inline CInstFileInfo FileEntry(const QString& name, const QString& path, const QString& action = QString())
{
    CInstFileInfo file;
    file.name = name;
    file.path = path;
    file.action = action;
    return file;
}

inline CInstShortcutInfo LinkEntry(const QString& path, const QString& name, const QString& type,
                                   const QString& lnk)
{
    CInstShortcutInfo link;
    link.path = path;
    link.name = name;
    link.type = type;
    link.lnk = lnk;
    return link;
}

// The step bar as a list of positions; also counts repaints.
class RecordingProgress : public CStepProgress {
public:
    void SetStepPos(int position) override { positions.push_back(position); }
    void RepaintStep() override { ++repaints; }
    std::vector<int> positions;
    int repaints = 0;
};

// Records pauses instead of sleeping while it lives.
class PauseRecorder {
public:
    PauseRecorder()
    {
        SetPauseFunction([this](int ms) { pauses.push_back(ms); });
    }
    ~PauseRecorder() { SetPauseFunction(nullptr); }
    PauseRecorder(const PauseRecorder&) = delete;
    PauseRecorder& operator=(const PauseRecorder&) = delete;
    std::vector<int> pauses;
};

// Common set-up: no cancel, no pump hook, pauses recorded, sample manifest
// loaded and the locations filled as start-up does.
class EngineTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetCancelFlag(false);
        SetPumpMessagesHook(nullptr);
        engine.Manifest = SampleManifest();
        engine.DetectPreviousInstall();
    }
    void TearDown() override
    {
        SetPumpMessagesHook(nullptr);
        SetCancelFlag(false);
    }

    PauseRecorder clock;
    RecordingProgress progress;
    CInstallEngine engine;
};

// A value as the store holds it; type 0 and empty data when missing.
struct StoredValue {
    PLATFORM::RegStatus status = PLATFORM::RegStatus::NotFound;
    quint32 type = 0;
    QByteArray data;
};

inline StoredValue ReadValue(PLATFORM::RegRoot root, const QString& key, const QString& name)
{
    StoredValue v;
    v.status = PLATFORM::CRegistry::QueryValue(root, key, name, &v.type, &v.data);
    return v;
}

// A REG_SZ as the store should hold it: UTF-16LE with the terminating zero.
inline QByteArray Sz(const QString& text)
{
    return PLATFORM::CRegistry::StringData(text);
}

inline QStringList ValueNames(PLATFORM::RegRoot root, const QString& key)
{
    QList<PLATFORM::RegValue> values;
    PLATFORM::CRegistry::EnumKey(root, key, nullptr, &values);
    QStringList names;
    for (const PLATFORM::RegValue& v : values)
        names << v.name;
    return names;
}

// Every .desktop file below the sandbox root.
inline QStringList DesktopFilesInSandbox()
{
    QStringList files;
    QDirIterator it(TESTS::SandboxRoot(), {QStringLiteral("*.desktop")}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

// desktop-file-validate's complaints about one file; empty when it passes.
inline QString ValidateDesktopFile(const QString& path)
{
    QProcess validator;
    validator.setProcessChannelMode(QProcess::MergedChannels);
    validator.start(QStringLiteral("desktop-file-validate"), {path});
    if (!validator.waitForFinished(60000))
        return QStringLiteral("desktop-file-validate did not run");
    const QString output = QString::fromUtf8(validator.readAll()).trimmed();
    if (validator.exitStatus() != QProcess::NormalExit || validator.exitCode() != 0)
        return output.isEmpty() ? QStringLiteral("failed") : output;
    return output;
}

}  // namespace ENGINETEST
