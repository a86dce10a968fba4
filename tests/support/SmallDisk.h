// A small tmpfs for full-disk tests, mounted in a private mount namespace of
// the test process (so only it and its children see it). Needs root; every
// test case runs in its own process, so the namespace ends with the case.
#pragma once

#include <QString>

namespace TESTS {

// Mounts a tmpfs of sizeBytes at folder (created when missing). False, with
// the reason in why, when this cannot be done here (not root, no namespaces).
bool MountSmallDisk(const QString& folder, qint64 sizeBytes, QString* why);

// Makes the small disk at folder read-only; false, with the reason in why,
// when it cannot.
bool MakeSmallDiskReadOnly(const QString& folder, QString* why);

// Unmounts it again (the folder stays).
void UnmountSmallDisk(const QString& folder);

}  // namespace TESTS
