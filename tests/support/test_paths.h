#pragma once
// Where the tests find the source tree, its fixtures and the build. The folders are compiled
// into test_paths.cpp alone, so every other test source is the same in any clone and a compiler
// cache can reuse it.

namespace test {
const char* fixturesDir();
const char* sourceDir();
const char* buildDir();
}  // namespace test

#define VX_FIXTURES_DIR (::test::fixturesDir())
#define VX_SOURCE_DIR (::test::sourceDir())
#define VX_BUILD_DIR (::test::buildDir())
