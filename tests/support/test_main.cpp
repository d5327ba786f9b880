#include <gtest/gtest.h>

#include "child_process.h"

int main(int argc, char **argv) {
    int scenario = runScenarioFromCommandLine(argc, argv);
    if (scenario >= 0)
        return scenario;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
