// Shared main of every test program: one sandbox root per process.
#include "Sandbox.h"

#include <gmock/gmock.h>

int main(int argc, char** argv)
{
    TESTS::InitSandbox();
    testing::InitGoogleMock(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    TESTS::CleanupSandbox();
    return rc;
}
