// The run's log (-log FILE): UTF-8 lines appended to a file, each with a
// timestamp: what the run is, every file, registry key, desktop entry and
// removal it makes, every failure with its reason, and how it ended. A log
// that is not open takes the lines and writes nothing.
#pragma once

#include "platform/FileSystem.h"

#include <QString>

#include <cstdint>
#include <functional>

class CRunLog {
public:
    CRunLog() = default;
    CRunLog(const CRunLog&) = delete;
    CRunLog& operator=(const CRunLog&) = delete;
    ~CRunLog();

    // Opens path for appending, creating it when missing. False, with the
    // reason in error (may be null), when it cannot be opened; the log then
    // stays closed.
    bool Open(const QString& path, QString* error = nullptr);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    const QString& Path() const { return m_path; }

    // One line: "<local time with offset> <text>". A line that cannot be
    // written closes the log; the reason goes once to the write-failure handler.
    void Write(const QString& text);

    // The usual lines, so every part of the run words them alike.
    void FileWritten(const QString& path, std::int64_t size);
    void RegistryWritten(const QString& key, const QString& valueName);
    void RegistryDeleted(const QString& key);
    void DesktopEntryWritten(const QString& path);
    void Removed(const QString& path);
    void Failed(const QString& reason);

    // Told once when a line cannot be written (the log closes then); by
    // default the reason goes to standard error.
    std::function<void(const QString& reason)> OnWriteFailure;

private:
    PLATFORM::CFileHandle m_file;
    QString m_path;
};
