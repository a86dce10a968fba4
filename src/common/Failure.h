// What went wrong in an operation, in words a person can act on: what was
// tried, on which path or key, and why (the system's error text, SQLite's
// message, "digest mismatch", ...).
#pragma once

#include <QString>

struct CFailure {
    QString action;   // e.g. "cannot write"
    QString subject;  // the path or key
    QString cause;    // e.g. "Permission denied"

    bool IsSet() const { return !action.isEmpty(); }
    // "cannot write /x/y: No space left on device"; empty when not set.
    QString Text() const;
    void Clear() { *this = CFailure(); }

    // The cause is the system's text for an errno value.
    static CFailure FromErrno(const QString& action, const QString& subject, int error);
};

// The system's text for an errno value ("No space left on device").
QString ErrnoText(int error);
