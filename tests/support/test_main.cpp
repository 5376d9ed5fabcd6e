#include <gtest/gtest.h>

#include "child_process.h"

int main(int argc, char** argv)
{
    int exitCode = 0;
    if (vyr::test::runChildIfAsked(argc, argv, exitCode))
        return exitCode;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
