#pragma once

// Runs one test function of the running Qt Test program again, in a child process as the user
// "nobody" (for tests that need a user whom file permissions bind, when the suite runs as root),
// and passes, fails or skips the calling test as that run did. The child gets a fresh home and
// temporary folder, open to it, as its working folder, and the offscreen platform. A child still
// running after `limit` is killed and the test fails. Call it from a test function and return
// right after it.

#include <chrono>

void runAsNobody(const char* testFunction, std::chrono::seconds limit = std::chrono::seconds(30));
