#include "support/test_paths.h"

namespace test {
const char* fixturesDir() {
    return VX_TEST_FIXTURES_DIR;
}
const char* sourceDir() {
    return VX_TEST_SOURCE_DIR;
}
const char* buildDir() {
    return VX_TEST_BUILD_DIR;
}
}  // namespace test
