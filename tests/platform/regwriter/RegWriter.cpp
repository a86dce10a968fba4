// Writes COUNT values "PREFIX-n" (REG_DWORD n) into HKCU\KEY, each with its
// own subkey KEY\PREFIX\n, one change at a time. Exit 0 when every write
// succeeded.
#include "platform/Registry.h"

#include <QString>

#include <cstdio>
#include <cstdlib>

using namespace PLATFORM;

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s KEY PREFIX COUNT\n", argv[0]);
        return 2;
    }
    const QString key = QString::fromUtf8(argv[1]);
    const QString prefix = QString::fromUtf8(argv[2]);
    const int count = std::atoi(argv[3]);
    for (int n = 0; n < count; ++n) {
        const QString name = QStringLiteral("%1-%2").arg(prefix).arg(n);
        if (CRegistry::SetValue(RegRoot::CurrentUser, key, name, RegDword, CRegistry::DwordData(quint32(n)))
            != RegStatus::Ok) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(CRegistry::LastError()));
            return 1;
        }
        if (CRegistry::CreateKey(RegRoot::CurrentUser, QStringLiteral("%1\\%2\\%3").arg(key, prefix).arg(n))
            != RegStatus::Ok) {
            std::fprintf(stderr, "key %d: %s\n", n, qPrintable(CRegistry::LastError()));
            return 1;
        }
    }
    return 0;
}
