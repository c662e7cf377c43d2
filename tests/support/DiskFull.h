// A full disk for save tests: tests run as root, so permissions cannot make a write fail, but a
// file size limit can. The body runs in a forked child with the limit set; its return value
// becomes the child's exit status.
#pragma once

#include <functional>
#include <sys/resource.h>

// The exit status of the child that ran `body` with files limited to `limit` bytes, or -1 when
// the child did not end normally.
int RunWithFileSizeLimit(rlim_t limit, const std::function<int()>& body);
